// Reading and writing whole files: the error that reader, writer and the file commands raise,
// line splitting as the reader needs it, and replacing a file in one step.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// A file that cannot be read or written; carries the file name and the system's reason.
class FileError : public std::runtime_error {
public:
    FileError(std::string fileName, std::string reason)
        : std::runtime_error(fileName + ": " + reason), fileName_(std::move(fileName)),
          reason_(std::move(reason)) {}
    const std::string& fileName() const { return fileName_; }
    const std::string& reason() const { return reason_; }

private:
    std::string fileName_;
    std::string reason_;
};

// Reads a text file into lines (ends at CR LF, lone CR or lone LF); throws FileError.
std::vector<std::string> ReadLines(const std::string& fileName);
// The whole file as bytes; throws FileError.
std::string ReadFileBytes(const std::string& fileName);
// Splits bytes into lines the way ReadLines does; a final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view bytes);
// Replaces the file's content in one step: a temporary file beside it is written, flushed to
// disk and renamed over the target. On failure the old file is untouched, the temporary file is
// removed and FileError is thrown.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);
// Hands each piece of the file's content to the file being written.
using PieceSink = std::function<void(std::string_view)>;
// The same for content made piece by piece, so it never has to be held whole: `produce` gets a
// sink and passes it every piece in order. An exception from `produce` is passed on after the
// temporary file was removed.
void WriteFileAtomicallyInPieces(const std::string& fileName,
                                 const std::function<void(const PieceSink&)>& produce);

} // namespace quilso

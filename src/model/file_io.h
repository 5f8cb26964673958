// Reading and writing whole files: the error that reader, writer and the file commands raise,
// line splitting as the reader needs it, and replacing a file in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// What went wrong with a file, for callers that answer some cases differently.
enum class FileProblem {
    System,           // the system refused (reason: its message)
    LineTooLong,      // a line longer than MaxLineBytes
    OutOfMemory,      // the content did not fit into memory
    NotRegularFile,   // a directory, device, FIFO or socket where a plain file is needed
    WriteProtected,   // an existing file without write permission
    InterruptedSave,  // an earlier save stopped while it rewrote the file; completeCopy() names its content
    ChangedMeanwhile, // the file is no longer the version that was read (save only-if-unchanged)
};

// A file that cannot be read or written; carries the file name and the reason. what() is the
// whole message for the user: "NAME: reason", or a sentence naming the file for the problems
// that are not the system's (NotRegularFile, WriteProtected, InterruptedSave). The texts are
// UTF-8, the file name as the system spells it.
class FileError : public std::runtime_error {
public:
    FileError(std::string fileName, std::string reason, FileProblem problem = FileProblem::System);
    // An InterruptedSave: `completeCopy` holds the complete content of that save.
    static FileError interruptedSave(const std::string& fileName, const std::string& completeCopy);
    const std::string& fileName() const { return fileName_; }
    const std::string& reason() const { return reason_; }
    FileProblem problem() const { return problem_; }
    const std::string& completeCopy() const { return completeCopy_; }

private:
    std::string fileName_;
    std::string reason_;
    FileProblem problem_;
    std::string completeCopy_;
};

// The system's reason for `error` (an errno value) in German: a sentence of its own for the
// common ones, "Systemfehler (the system's own text)" for the rest.
std::string SystemErrorText(int error);

// The longest line any file is read with; a longer one is refused ("Zeile zu lang"), so that
// endless input such as /dev/zero cannot take all memory.
constexpr std::size_t MaxLineBytes = std::size_t(256) << 20;

// Which files the readers open: any (pipes and devices too); regular files, pipes and standard
// input, whatever it is, as a command line tool wants (a device such as /dev/urandom would never
// end); or regular files only, so that a FIFO or device is refused at once instead of blocking.
enum class FileKinds { Any, FilesAndPipes, RegularOnly };

// Opens a file for reading and returns its descriptor (the caller closes it). What `kinds`
// leaves out (after following links) is refused with FileError (NotRegularFile), a device
// before it is opened, and with RegularOnly without waiting for a FIFO's writer.
int OpenForReading(const std::string& fileName, FileKinds kinds);
// Throws FileError (NotRegularFile) unless the name leads to a regular file, or FileError
// (System) when it cannot be examined. Never blocks.
void RequireRegularFile(const std::string& fileName);

// Reads a text file into lines (ends at CR LF, lone CR or lone LF); throws FileError.
std::vector<std::string> ReadLines(const std::string& fileName, FileKinds kinds = FileKinds::Any);
// The whole file as bytes; throws FileError, also for a line longer than MaxLineBytes.
std::string ReadFileBytes(const std::string& fileName, FileKinds kinds = FileKinds::Any);
// What a file was when it was read: which file (device and inode), its size and the time it was
// last modified. A later save compares it with what the file is by then, to notice an edit
// made in between (an editor saving under the same name, a script appending).
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1; // -1: the file changed while it was read, so no state matches
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileVersion&) const = default;
};
// The whole file as ReadFileBytes reads it, and in `version` the version those bytes are.
std::string ReadFileBytes(const std::string& fileName, FileVersion& version,
                          FileKinds kinds = FileKinds::Any);
// Splits bytes into lines the way ReadLines does; a final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view bytes);

// Saving keeps what the user's file is. The content goes to a temporary file in the folder of
// the file a symbolic link leads to, is flushed to disk and then renamed over the target, so
// the link stays a link; mode, owner, group and extended attributes (access lists among them)
// of an existing target are kept, and an attribute the new file cannot take is named in the
// error while the old file stays. A target with further hard links, whose owner or group the
// process cannot give the new file, or in a folder the user may not write, is written in
// place from the flushed temporary copy (for such a folder it lives in the user's state
// folder), so every name keeps seeing one file. During that copy SIGTERM, SIGINT and SIGHUP
// wait until it is done, and the temporary copy is renamed to ".NAME.quilso-complete-XXXXXX"
// first, and the target names it in its attribute user.quilso.complete-copy (where the file
// system keeps user attributes, so that every hard link leads there): should the process die
// anyway, that complete copy stays and is never removed as a leftover; saving over the file is
// then refused (FileError, InterruptedSave) until the copy is restored or discarded. An existing target that
// is not a regular file or is write-protected is refused before anything is written. On failure the old file
// is untouched (in place: the copy holding the new content is kept and named in the message), the temporary
// file is removed and FileError is thrown. SIGTERM, SIGINT and SIGHUP before the copy remove the temporary
// file before they take effect; a file-size limit is reported as a write error. Temporary files that earlier
// saves of the same target left behind (the process was killed before it touched the target) are removed
// after a successful save; a save running in another process keeps its own. One save at a time per process.
//
// With `unchangedSince`, the target (the file a link leads to) must still be that version when
// the new content is on disk, checked right before it is renamed over the target or written
// into it; otherwise the target is left as it is, the temporary file removed and FileError
// (ChangedMeanwhile) thrown. An edit that lands between that check and the rename itself is
// not caught: without a lock every other program respects, no check can close that gap.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes,
                         const FileVersion* unchangedSince = nullptr);
// Hands each piece of the file's content to the file being written.
using PieceSink = std::function<void(std::string_view)>;
// The same for content made piece by piece, so it never has to be held whole: `produce` gets a
// sink and passes it every piece in order. An exception from `produce` is passed on after the
// temporary file was removed (std::bad_alloc as FileError, OutOfMemory).
void WriteFileAtomicallyInPieces(const std::string& fileName,
                                 const std::function<void(const PieceSink&)>& produce,
                                 const FileVersion* unchangedSince = nullptr);

// The complete copy an interrupted in-place save of `fileName` left (whose process died while
// it rewrote the file, so the file may hold part old, part new content), or "" when there is
// none or the file cannot be examined. A save still running in another process is not one.
std::string FindInterruptedSaveCopy(const std::string& fileName);
// Throws FileError (InterruptedSave) naming the copy when FindInterruptedSaveCopy finds one.
void RefuseInterruptedSave(const std::string& fileName);
// Makes the copy the file's content again, written as a save writes, then removes the copy.
void RestoreInterruptedSaveCopy(const std::string& fileName, const std::string& copy);
// Removes the copy, for a user who keeps the file as it is or replaces it anyway.
void DiscardInterruptedSaveCopy(const std::string& copy);

} // namespace quilso

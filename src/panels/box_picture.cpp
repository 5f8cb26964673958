#include "box_picture.h"

#include "params.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace boxpicture {

namespace {

// Pixel access for the drawing routines. The picture is a 32-bit image whose pixels can be read
// and written as they are; going through QImage::pixel/setPixel for each of its 26,000 pixels was
// a noticeable share of start-up. Other formats take the general way.
class Pixels {
public:
    explicit Pixels(QImage& image)
        : image_(image), width_(image.width()), height_(image.height()),
          direct_(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32) {
        if (direct_) {
            bits_ = reinterpret_cast<QRgb*>(image.bits()); // detaches once, here
            stride_ = image.bytesPerLine() / qsizetype(sizeof(QRgb));
            // RGB32 pixels read and write as opaque whatever their top byte holds.
            if (image.format() == QImage::Format_RGB32) opaque_ = 0xFF000000u;
        }
    }
    int width() const { return width_; }
    int height() const { return height_; }
    bool valid(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    QRgb get(int x, int y) const { return direct_ ? bits_[y * stride_ + x] | opaque_ : image_.pixel(x, y); }
    void set(int x, int y, QRgb rgb) {
        if (direct_)
            bits_[y * stride_ + x] = rgb | opaque_;
        else
            image_.setPixel(x, y, rgb);
    }

private:
    QImage& image_;
    int width_, height_;
    bool direct_;
    QRgb* bits_ = nullptr;
    qsizetype stride_ = 0;
    QRgb opaque_ = 0;
};

// A rectangle as the picture tools draw it: the outline takes the first and the last-but-one
// row and column of (x1, y1)-(x2, y2); the inside gets the brush.
void rectangle(Pixels& image, int x1, int y1, int x2, int y2, QRgb brush) {
    const int left = std::max(x1, 0), right = std::min(x2, image.width());
    for (int y = std::max(y1, 0); y < std::min(y2, image.height()); ++y)
        for (int x = left; x < right; ++x) {
            const bool edge = x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1;
            image.set(x, y, edge ? Black : brush);
        }
}

// A one-pixel black line from (x0, y0) up to, not including, (x1, y1).
void line(Pixels& image, int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        if (image.valid(x0, y0)) image.set(x0, y0, Black);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Fills the 4-connected area around (x, y) whose pixels pass `inside`; a pixel is filled once,
// so the fill colour may pass the test as well. Runs along rows: a marked trapezoid is
// repainted on every load and click, and pixel by pixel that was a noticeable wait.
template <typename Inside> void floodFill(Pixels& image, int x, int y, QRgb fill, Inside inside) {
    if (!image.valid(x, y)) return;
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> seen(std::size_t(w) * std::size_t(h));
    auto fillable = [&](int px, int py) {
        return !seen[std::size_t(py) * std::size_t(w) + std::size_t(px)] && inside(image.get(px, py));
    };
    std::vector<QPoint> seeds{QPoint(x, y)};
    while (!seeds.empty()) {
        const QPoint seed = seeds.back();
        seeds.pop_back();
        const int row = seed.y();
        if (!fillable(seed.x(), row)) continue;
        int left = seed.x(), right = seed.x();
        while (left > 0 && fillable(left - 1, row))
            --left;
        while (right + 1 < w && fillable(right + 1, row))
            ++right;
        for (int px = left; px <= right; ++px) {
            seen[std::size_t(row) * std::size_t(w) + std::size_t(px)] = 1;
            image.set(px, row, fill);
        }
        // One seed for each run of fillable pixels above and below the filled run.
        for (const int next : {row - 1, row + 1}) {
            if (next < 0 || next >= h) continue;
            bool inRun = false;
            for (int px = left; px <= right; ++px) {
                const bool open = fillable(px, next);
                if (open && !inRun) seeds.emplace_back(px, next);
                inRun = open;
            }
        }
    }
}

} // namespace

void DrawBoxPicture(QImage& image, int ring) {
    Pixels pixels(image);
    const int w = image.width(), h = image.height();
    // The outer rectangle leaves its inside silver already: no fill up to the outline is needed.
    rectangle(pixels, 0, 0, w, h, Silver);
    rectangle(pixels, ring, ring, w - ring, h - ring, Silver);
    rectangle(pixels, 2 * ring, 2 * ring, w - 2 * ring, h - 2 * ring, Silver);
    const int c = 3 * ring;
    rectangle(pixels, c, c, w - c, h - c, Cream);
    line(pixels, 0, 0, c, c);
    line(pixels, w - 1, 0, w - 1 - c, c);
    line(pixels, w - 1, h - 1, w - 1 - c, h - 1 - c);
    line(pixels, 0, h - 1, c, h - 1 - c);
}

void FloodFillSurface(QImage& image, int x, int y, QRgb fill) {
    if (!image.valid(x, y)) return;
    const QRgb target = image.pixel(x, y);
    if (target == fill) return;
    Pixels pixels(image);
    floodFill(pixels, x, y, fill, [target](QRgb c) { return c == target; });
}

void FloodFillBorder(QImage& image, int x, int y, QRgb border, QRgb fill) {
    if (!image.valid(x, y)) return;
    Pixels pixels(image);
    floodFill(pixels, x, y, fill, [border](QRgb c) { return c != border; });
}

QPoint SeedPoint(int part, int side, int width, int height, int ring) {
    const int e = ring * part + ring / 2;
    const int f = ring * part + ring;
    switch (side) {
    case quilso::SideLeft:
        return {e, f};
    case quilso::SideRight:
        return {width - e - 1, height - f - 1};
    case quilso::SideTop:
        return {f, e};
    default:
        return {width - f - 1, height - e - 1};
    }
}

Hit HitTest(int x, int y, int width, int height, int ring) {
    const int hw = width / 2, hh = height / 2;
    // The last column and row belong to the right and bottom halves, hence the X div hw term.
    const int dx = hw - std::abs(x - hw) - x / hw;
    const int dy = hh - std::abs(y - hh) - y / hh;
    if (dx <= dy) return {x < hw ? quilso::SideLeft : quilso::SideRight, dx / ring};
    return {y < hh ? quilso::SideTop : quilso::SideBottom, dy / ring};
}

} // namespace boxpicture

BoxPictureView::BoxPictureView(QWidget* parent) : QWidget(parent), image_(200, 130, QImage::Format_RGB32) {
    image_.fill(Qt::white);
    setFixedSize(image_.size());
}

void BoxPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void BoxPictureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressWasDouble_ = false;
}

void BoxPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressWasDouble_ = true;
    emit doubleClicked();
}

void BoxPictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    if (!pressWasDouble_ && rect().contains(pos)) emit clicked();
    emit mouseReleased(pos);
}

// The picture of a menu's box on the border panel: margin, border and padding as three rings
// around the content, each side a trapezoid. Drawing, filling a marked side and finding which
// side and ring a point lies in; the view shows the picture and reports the mouse.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace boxpicture {

inline constexpr QRgb Silver = 0xFFC0C0C0;
inline constexpr QRgb SkyBlue = 0xFFA6CAF0;
inline constexpr QRgb Cream = 0xFFFFFBF0;
inline constexpr QRgb Black = 0xFF000000;

// Draws the unmarked picture (rings of `ring` pixels) into `image`, whatever its size.
void DrawBoxPicture(QImage& image, int ring);

// Replaces the 4-connected area of pixels that have the colour of (x, y) by `fill`.
void FloodFillSurface(QImage& image, int x, int y, QRgb fill);
// Fills the 4-connected area around (x, y) up to pixels of colour `border`.
void FloodFillBorder(QImage& image, int x, int y, QRgb border, QRgb fill);

// A point inside the trapezoid of `side` (0 left, 1 right, 2 top, 3 bottom) of ring `part`.
QPoint SeedPoint(int part, int side, int width, int height, int ring);

// Which side and ring a point of a width x height picture lies in; the ring is 3 or more inside
// the centre. A point as near to a vertical edge as to a horizontal one counts as left or right.
struct Hit {
    int side = 0;
    int ring = 0;
};
Hit HitTest(int x, int y, int width, int height, int ring);

} // namespace boxpicture

// iBorderSelect: shows the picture and reports clicks, double clicks and button releases.
class BoxPictureView : public QWidget {
    Q_OBJECT
public:
    explicit BoxPictureView(QWidget* parent = nullptr);

    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

signals:
    // A single click: press and release of the left button over the picture.
    void clicked();
    // The second press of a double click.
    void doubleClicked();
    // The left button was released at `pos` (after `clicked` when that fires as well).
    void mouseReleased(QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
    bool pressWasDouble_ = false;
};

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QFont;
class QImage;
class QPaintDevice;
class QPainter;

// The drawing surface the chart layers draw on: a device context in the manner of the window
// system the program was written for, kept over QPainter with antialiasing off. It keeps the
// pixel rules the chart's layout and clipping rely on:
// - a line leaves out its end pixel, so a chain of lines draws every joint exactly once;
// - a rectangle or ellipse (l, t, r, b) covers columns l..r-1 and rows t..b-1; drawn with the
//   null pen, its fill is one pixel smaller at the right and bottom;
// - a rectangle's bounds may be given in any order (they are normalised first).
// Coordinates are meant to lie within +-2^30, where the difference of two still fits in an int.
//
// On a device with a device pixel ratio above 1 (an image made for a high-density screen) the
// coordinates, widths and font heights are logical pixels and the rules hold for them: a pixel
// of the chart is a ratio-by-ratio block of the device's, a one-pixel pen draws one logical pixel
// wide, and texts and slanted lines are drawn at the device's full resolution.
namespace platform {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0, cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The common part of two rectangles; the empty rectangle (0, 0, 0, 0) when they do not meet.
Rect Intersect(const Rect& a, const Rect& b);

inline constexpr int kDefaultCharset = 1;
inline constexpr int kCyrillicCharset = 204;
inline constexpr int kNonAntialiasedQuality = 3;
inline constexpr std::size_t kFaceNameMax = 31;

// The attributes a font is created from. A negative height is the character (em) height in
// pixels, a positive one the cell height (ascent + descent); 0 takes a default size. Escapement
// is the angle of the text's baseline in tenths of a degree, counter-clockwise. Weight 0 means
// normal (400), 700 bold. The character set is kept for the callers' sake: Qt's fonts cover
// every script the face has.
struct FontDescription {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charSet = kDefaultCharset;
    int outPrecision = 0;
    int clipPrecision = 0;
    int quality = 0;
    int pitchAndFamily = 0;
    std::string faceName;  // at most kFaceNameMax bytes

    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The vertical resolution that turns point sizes into pixels: the primary screen's logical DPI
// when a GUI application exists (96 on the offscreen platform), else 96.
int ScreenDpiY();

// A font of `points` points: height -floor(dpi * 10 * points / 720), every other attribute 0
// but the face name (cut to kFaceNameMax bytes) and the character set.
FontDescription PointFont(std::string_view faceName, int points, int charSet, int dpi = ScreenDpiY());

enum PenStyle { kPenSolid = 0, kPenDash = 1, kPenDot = 2, kPenDashDot = 3, kPenDashDotDot = 4, kPenNull = 5 };

// A width of 0 or 1 draws one pixel wide.
struct Pen {
    int style = kPenSolid;
    int width = 0;
    Rgb color;

    static Pen Null() { return {kPenNull, 0, {}}; }
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    bool hollow = false;
    Rgb color;

    static Brush Hollow() { return {true, {}}; }
    static Brush Solid(Rgb c) { return {false, c}; }
    friend bool operator==(const Brush&, const Brush&) = default;
};

struct TextMetrics {
    int height = 0;  // ascent + descent: the character height
    int ascent = 0;
    int descent = 0;
    int averageCharWidth = 0;
};

// Text alignment flags; horizontal and vertical ones are combined with |.
enum TextAlign {
    kAlignLeft = 0,
    kAlignRight = 2,
    kAlignCenter = 6,
    kAlignTop = 0,
    kAlignBottom = 8,
    kAlignBaseline = 24,
};

class Surface {
public:
    // Draws on `device` until the surface is destroyed. The surface starts like a fresh device
    // context: black one-pixel pen, white solid brush, the default font, black text on an opaque
    // white background, alignment left and top, position (0, 0), normal (not inverting) mode.
    explicit Surface(QPaintDevice& device);
    // Draws through `painter`, which is already active on its device (a page of a printed
    // document), in the painter's coordinates: a device pixel of the surface is a unit there.
    // The painter's state is saved here and restored when the surface goes; the painter stays
    // active. Otherwise the surface starts as above.
    explicit Surface(QPainter& painter);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int Width() const;
    int Height() const;
    int LogicalDpiY() const;

    // The font a fresh surface has: bold "Arial", cell height 16, like the system font of a
    // device context.
    static FontDescription DefaultFont();

    // Each returns what was selected before, for the caller to restore.
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    FontDescription SelectFont(const FontDescription& font);
    const Pen& CurrentPen() const { return pen_; }
    const Brush& CurrentBrush() const { return brush_; }
    const FontDescription& CurrentFont() const { return font_; }

    Rgb SetTextColor(Rgb color);
    void SetTransparentBackground(bool transparent);
    void SetBackgroundColor(Rgb color);
    int SetTextAlign(int align);

    // Every pixel drawn by lines, rectangles and ellipses becomes the inverse of what it was,
    // whatever the pen; drawing the same figure twice restores the picture.
    void SetInvert(bool invert);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);  // leaves out the pixel at (x, y)
    Point CurrentPosition() const { return position_; }

    void Rectangle(int left, int top, int right, int bottom);
    void Ellipse(int left, int top, int right, int bottom);
    // Fills with a colour, neither outlined nor inverted.
    void FillRect(const Rect& rect, Rgb color);

    // Text at (x, y) with the current alignment, rotated by the font's escapement.
    void TextOut(int x, int y, std::string_view utf8);
    Size GetTextExtent(std::string_view utf8) const;
    TextMetrics GetTextMetrics() const;

    // An image to compose into off the surface, of the surface's format and resolution.
    QImage CreateCompatibleImage(int width, int height) const;
    // Copies an image onto the surface in one operation, its top-left corner at (x, y).
    void DrawImage(int x, int y, const QImage& image);

    // Draws the lines still held back (a chain of lines is drawn as one polyline). The
    // destructor flushes too; other drawing operations flush before they draw.
    void Flush();

private:
    void Start();
    void ApplyPen();
    void ApplyBrush();
    void ApplyFont();
    void FlushSegments();
    void FlushPolyline();
    // Fills a rectangle (normalised) with an opaque colour, as QPainter::fillRect does.
    void FillSolid(const Rect& r, Rgb color);
    // What has been measured in the current font: a layout measures the same texts again and
    // again (a chart's tick labels, once for each size it tries, at every drawing), and each
    // measurement shapes the text anew. Kept for every font the thread has measured in.
    struct FontMeasures;
    FontMeasures& Measures() const;

    std::unique_ptr<QPainter> ownPainter_;  // the painter begun on the device, unless one was lent
    QPainter* painter_ = nullptr;           // the painter drawn with; null: the surface only measures
    std::unique_ptr<QFont> qfont_;
    QPaintDevice& device_;
    Pen pen_;
    Brush brush_ = Brush::Solid({255, 255, 255});
    FontDescription font_;
    Rgb textColor_;
    Rgb backgroundColor_{255, 255, 255};
    bool transparentBackground_ = false;
    int align_ = kAlignLeft | kAlignTop;
    bool invert_ = false;
    Point position_;
    std::vector<Point> chain_;  // a pending chain of lines; its first point is where it started
    // The device has more than one pixel to a logical one: pens draw with a real width, centred
    // in the logical pixels (see StrokeCentred in Surface.cpp).
    bool scaled_ = false;
    // The pixels of a 32-bit image that the surface paints with a painter of its own at one
    // pixel to a logical one, without transformation or clipping: solid fills are written there
    // directly, the same pixels the painter would fill, at a fraction of the cost of its fill
    // (which is built for spans, and a chart's fills are mostly one pixel wide). Null otherwise.
    std::uint32_t* pixels_ = nullptr;
    std::ptrdiff_t pixelsPerLine_ = 0;
    int pixelColumns_ = 0, pixelRows_ = 0;
    mutable FontMeasures* currentMeasures_ = nullptr;  // the current font's, once looked up
};

// A 32-bit RGB image at 96 DPI: the image the chart is composed in. With a device pixel ratio
// above 1 (a high-density screen's), `width` x `height` are logical pixels and the image has
// ratio times as many of its own each way.
QImage MakeImage(int width, int height, double devicePixelRatio = 1);

// The QFont a description stands for; the chart's texts and measurements all go through it.
QFont MakeQFont(const FontDescription& font);

}  // namespace platform

#pragma once

#include "platform/gui/Surface.h"

#include <climits>

// Mode flags of a frame and of every series in it.
inline constexpr int kPolar = 1;  // x is an angle in radians, y a radius
inline constexpr int kLogX = 2;   // x values enter the frame as their base-10 logarithm
inline constexpr int kLogY = 4;

// The pixel of a value that maps to no pixel (not a number): left of and above every plot.
inline constexpr int kNoPixel = INT_MIN;
// Pixel offsets further out than this are held at it. Two coordinates within it still have a
// difference that fits in 32 bits, which the clipping's arithmetic needs.
inline constexpr int kFarPixel = 1 << 30;

// Whether a pixel coordinate is where its value maps to, rather than held at kFarPixel or
// kNoPixel.
inline bool IsExactPixel(platform::Point p) {
    return p.x > -kFarPixel && p.x < kFarPixel && p.y > -kFarPixel && p.y < kFarPixel;
}

// Stores (min, max), or their base-10 logarithms when `log`, if min < max, and returns whether
// it did: an axis whose range is not stored follows its data.
bool StoreRange(double min, double max, bool log, double& lo, double& hi);

// The coordinate frame shared by everything that draws: mode flags, plot rectangle, the
// surface being drawn on, the automatic-range switches, the current and fixed ranges, and the
// value-to-pixel mapping. Ranges are in frame units: base-10 logarithms on a logarithmic axis.
class CAutoFrame {
public:
    using MapFunction = int (*)(const CAutoFrame& frame, double xv, double yv);

    int flags = 0;
    platform::Rect rect;
    platform::Surface* surface = nullptr;  // not owned; set at the start of every drawing call
    bool autoX = true;
    bool autoY = true;
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double fixXMin = 0, fixXMax = 0, fixYMin = 0, fixYMax = 0;
    platform::Point penPos;  // where the last line drawing ended
    bool penInside = true;
    MapFunction mapX;
    MapFunction mapY;

    CAutoFrame();

    // Stores the flags, chooses the polar or Cartesian mapping and makes both axes automatic.
    void SetFlags(int newFlags);
    // min < max fixes the axis to that range (logarithms on a logarithmic axis); anything else
    // makes it automatic again.
    void SetXRange(double min, double max);
    void SetYRange(double min, double max);
    void GetXRange(double& min, double& max) const;
    void GetYRange(double& min, double& max) const;

    int XToPixel(double v) const;
    int YToPixel(double v) const;
    // The inverse mappings, giving data values (10 raised to the frame value on a logarithmic axis).
    double PixelToX(int px) const;
    double PixelToY(int py) const;

    // Line drawing in values, clipped to `rect`; a segment with both ends outside is not drawn.
    void MoveToValue(double x, double y);
    void LineToValue(double x, double y);
    // The same for points already mapped (mapX, mapY): a long line maps all its points first,
    // one independent of the other, which the processor overlaps.
    void MoveToPixel(platform::Point p);
    void LineToPixel(platform::Point p);

private:
    void Clip(platform::Point& from, platform::Point& to) const;
};

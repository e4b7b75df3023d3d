#include "canvas/Raster.h"

#include <algorithm>
#include <cmath>

namespace canvas::raster {

namespace {

constexpr double Eps = 1e-9;

struct Span
{
    double lo = 1;
    double hi = 0; // empty while lo > hi
    bool empty() const { return lo > hi; }
    void unite(double l, double h)
    {
        if (l > h)
            return;
        if (empty()) {
            lo = l;
            hi = h;
        } else {
            lo = std::min(lo, l);
            hi = std::max(hi, h);
        }
    }
};

void fillRow(QImage &image, int y, const Span &span, QRgb color, const QRect &clip, const QImage *source = nullptr)
{
    if (span.empty() || y < clip.top() || y > clip.bottom())
        return;
    // Pixels whose centre x + 0.5 lies in [lo, hi].
    const int x0 = std::max(clip.left(), int(std::ceil(span.lo - 0.5 - Eps)));
    const int x1 = std::min(clip.right(), int(std::floor(span.hi - 0.5 + Eps)));
    if (x0 > x1)
        return;
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    if (source) {
        const auto *from = reinterpret_cast<const QRgb *>(source->constScanLine(y));
        std::copy(from + x0, from + x1 + 1, line + x0);
        return;
    }
    std::fill(line + x0, line + x1 + 1, color | 0xFF000000u);
}

// x such that lo <= k * x + c <= hi, intersected into `span`; false when empty.
bool solve(double k, double c, double lo, double hi, double &xmin, double &xmax)
{
    if (std::fabs(k) < 1e-12) {
        if (c < lo - Eps || c > hi + Eps)
            return false;
        return true;
    }
    double a = (lo - c) / k;
    double b = (hi - c) / k;
    if (a > b)
        std::swap(a, b);
    xmin = std::max(xmin, a);
    xmax = std::min(xmax, b);
    return xmin <= xmax;
}

QRect clipped(const QImage &image, const QRect &clip)
{
    return clip.intersected(image.rect());
}

} // namespace

QPointF penCentre(float x, float y, int width)
{
    const double off = (width % 2) ? 0.5 : 0.0;
    return QPointF(std::floor(x) + off, std::floor(y) + off);
}

void fillCapsule(QImage &image, QPointF a, QPointF b, double radius, QRgb color, const QRect &clip, bool thin)
{
    // A thin pen keeps to one pixel: the boundary itself is outside.
    if (thin)
        radius -= 1e-6;
    const QRect area = clipped(image, clip);
    if (area.isEmpty())
        return;
    const double r2 = radius * radius;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    const double reach = radius * std::sqrt(len2);
    const int y0 = std::max(area.top(), int(std::floor(std::min(a.y(), b.y()) - radius - 1)));
    const int y1 = std::min(area.bottom(), int(std::ceil(std::max(a.y(), b.y()) + radius + 1)));
    for (int y = y0; y <= y1; ++y) {
        const double yc = y + 0.5;
        Span span;
        for (const QPointF &end : {a, b}) {
            const double v = yc - end.y();
            if (v * v <= r2 + Eps) {
                const double h = std::sqrt(std::max(0.0, r2 - v * v));
                span.unite(end.x() - h, end.x() + h);
            }
        }
        if (len2 > 0) {
            // The band between the two end discs, in x - a.x.
            double xmin = -1e300, xmax = 1e300;
            const double along = (yc - a.y()) * dy;
            const double across = -(yc - a.y()) * dx;
            if (solve(dx, along, 0, len2, xmin, xmax) && solve(dy, across, -reach, reach, xmin, xmax))
                span.unite(a.x() + xmin, a.x() + xmax);
        }
        fillRow(image, y, span, color, area);
    }
}

void fillColumns(QImage &image, QPointF c, int half, double radius, bool columnsOnPixelCentres, QRgb color,
                 const QRect &clip, double scale, const QImage *source)
{
    QRect area = clipped(image, clip);
    if (source)
        area &= source->rect();
    if (area.isEmpty())
        return;
    // Rows and columns are device pixels; the shape is measured in logical pixels
    // at each device pixel's centre.
    const int y0 = std::max(area.top(), int(std::floor((c.y() - half - radius - 1) * scale)));
    const int y1 = std::min(area.bottom(), int(std::ceil((c.y() + half + radius + 1) * scale)));
    const bool exactColumns = std::fabs(scale - 1) < 1e-9;
    for (int y = y0; y <= y1; ++y) {
        const double beyond = std::max(0.0, std::fabs((y + 0.5) / scale - c.y()) - half);
        if (beyond > radius + Eps)
            continue;
        const double h = std::sqrt(std::max(0.0, radius * radius - beyond * beyond));
        // Between two columns a pixel centre is half a pixel from the nearest one
        // when the columns run along pixel edges.
        if (exactColumns && !columnsOnPixelCentres && h < 0.5 - Eps)
            continue;
        Span span;
        span.unite((c.x() - half - h) * scale, (c.x() + half + h) * scale);
        fillRow(image, y, span, color, area, source);
    }
}

void fillThinLine(QImage &image, QPoint a, QPoint b, QRgb color, const QRect &clip, double scale)
{
    const QRect area = clipped(image, clip);
    if (area.isEmpty())
        return;
    auto plot = [&](int x, int y) {
        const QRect device(
            QPoint(int(std::ceil(x * scale - 0.5)), int(std::ceil(y * scale - 0.5))),
            QPoint(int(std::ceil((x + 1) * scale - 0.5)) - 1, int(std::ceil((y + 1) * scale - 0.5)) - 1));
        const QRect r = device.intersected(area);
        for (int row = r.top(); row <= r.bottom(); ++row) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
            std::fill(line + r.left(), line + r.right() + 1, color | 0xFF000000u);
        }
    };
    // Step along the longer axis; the shorter one follows, rounded. Only the steps
    // that can land inside the clip are taken, however long the line.
    const bool xMajor = std::abs(qint64(b.x()) - a.x()) >= std::abs(qint64(b.y()) - a.y());
    const qint64 a0 = xMajor ? a.x() : a.y(), a1 = xMajor ? b.x() : b.y();
    const qint64 m0 = xMajor ? a.y() : a.x(), m1 = xMajor ? b.y() : b.x();
    const qint64 dMajor = std::abs(a1 - a0), dMinor = std::abs(m1 - m0);
    const int sMajor = a1 >= a0 ? 1 : -1, sMinor = m1 >= m0 ? 1 : -1;
    const int lo = int(std::floor((xMajor ? area.left() : area.top()) / scale)) - 1;
    const int hi = int(std::ceil((xMajor ? area.right() + 1 : area.bottom() + 1) / scale)) + 1;
    qint64 first = sMajor > 0 ? lo - a0 : a0 - hi;
    qint64 last = sMajor > 0 ? hi - a0 : a0 - lo;
    first = std::max<qint64>(first, 0);
    last = std::min<qint64>(last, dMajor);
    for (qint64 i = first; i <= last; ++i) {
        const qint64 minor = dMajor ? m0 + sMinor * ((2 * i * dMinor + dMajor) / (2 * dMajor)) : m0;
        const qint64 major = a0 + sMajor * i;
        if (xMajor)
            plot(int(major), int(minor));
        else
            plot(int(minor), int(major));
    }
}

} // namespace canvas::raster

#include "win32/about.h"

#include <initializer_list>

#include "win32/owned.h"

namespace linkwell::win32 {
namespace {

// Scales a coordinate given on a 100 x 100 grid into the rectangle.
struct Grid {
    const RECT& r;
    [[nodiscard]] int X(int v) const { return r.left + MulDiv(r.right - r.left, v, 100); }
    [[nodiscard]] int Y(int v) const { return r.top + MulDiv(r.bottom - r.top, v, 100); }
};

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    const OwnedGdi<HBRUSH> b(CreateSolidBrush(colour));
    FillRect(dc, &r, b.get());
}

template <typename Draw>
void WithPenAndBrush(HDC dc, COLORREF pen, int width, COLORREF brush, Draw draw) {
    // Declared first: let go after they are no longer selected. A stock
    // brush is not ours to delete.
    const OwnedGdi<HPEN> p(CreatePen(PS_SOLID, width, pen));
    const OwnedGdi<HBRUSH> own(brush == CLR_INVALID ? nullptr : CreateSolidBrush(brush));
    HBRUSH b = brush == CLR_INVALID ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : own.get();
    HGDIOBJ oldPen = SelectObject(dc, p.get());
    HGDIOBJ oldBrush = SelectObject(dc, b);
    draw();
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

}  // namespace

void DrawTransceiver(HDC dc, const RECT& r) {
    const Grid g{r};
    Fill(dc, r, RGB(235, 235, 225));
    WithPenAndBrush(dc, RGB(30, 30, 30), 1, RGB(70, 72, 80), [&] {
        RoundRect(dc, g.X(4), g.Y(18), g.X(96), g.Y(90), g.X(10) - g.X(0), g.Y(10) - g.Y(0));
    });
    WithPenAndBrush(dc, RGB(20, 60, 20), 1, RGB(120, 230, 140),
                    [&] { Rectangle(dc, g.X(12), g.Y(28), g.X(58), g.Y(48)); });
    WithPenAndBrush(dc, RGB(10, 10, 10), 1, RGB(200, 200, 205),
                    [&] { Ellipse(dc, g.X(64), g.Y(30), g.X(90), g.Y(78)); });
    WithPenAndBrush(dc, RGB(10, 10, 10), 1, RGB(180, 40, 40), [&] {
        for (int i = 0; i < 3; ++i)
            Ellipse(dc, g.X(14 + 15 * i), g.Y(60), g.X(24 + 15 * i), g.Y(74));
    });
    WithPenAndBrush(dc, RGB(20, 90, 20), 1, CLR_INVALID, [&] {
        MoveToEx(dc, g.X(14), g.Y(42), nullptr);
        for (int i = 0; i <= 8; ++i) LineTo(dc, g.X(14 + i * 5), g.Y(i % 2 == 0 ? 42 : 33));
    });
}

void DrawGlobe(HDC dc, const RECT& r) {
    const Grid g{r};
    Fill(dc, r, RGB(235, 235, 225));
    WithPenAndBrush(dc, RGB(20, 40, 110), 2, RGB(110, 170, 235),
                    [&] { Ellipse(dc, g.X(20), g.Y(6), g.X(80), g.Y(94)); });
    WithPenAndBrush(dc, RGB(20, 40, 110), 1, CLR_INVALID, [&] {
        Ellipse(dc, g.X(38), g.Y(6), g.X(62), g.Y(94));
        MoveToEx(dc, g.X(50), g.Y(6), nullptr);
        LineTo(dc, g.X(50), g.Y(94));
        for (int y : {28, 50, 72}) {
            const int inset = y == 50 ? 0 : 4;
            MoveToEx(dc, g.X(20 + inset), g.Y(y), nullptr);
            LineTo(dc, g.X(80 - inset), g.Y(y));
        }
    });
    // Two stations and the path between them.
    WithPenAndBrush(dc, RGB(200, 40, 30), 2, CLR_INVALID, [&] {
        Arc(dc, g.X(30), g.Y(20), g.X(72), g.Y(70), g.X(70), g.Y(40), g.X(32), g.Y(40));
    });
    WithPenAndBrush(dc, RGB(120, 20, 20), 1, RGB(230, 60, 40), [&] {
        Ellipse(dc, g.X(29), g.Y(38), g.X(35), g.Y(45));
        Ellipse(dc, g.X(67), g.Y(38), g.X(73), g.Y(45));
    });
}

void DrawMast(HDC dc, const RECT& r) {
    const Grid g{r};
    Fill(dc, r, RGB(235, 235, 225));
    WithPenAndBrush(dc, RGB(60, 60, 60), 2, CLR_INVALID, [&] {
        MoveToEx(dc, g.X(30), g.Y(96), nullptr);
        LineTo(dc, g.X(50), g.Y(20));
        LineTo(dc, g.X(70), g.Y(96));
        for (int y = 35; y < 96; y += 15) {
            const int half = (y - 20) * 20 / 76;
            MoveToEx(dc, g.X(50 - half), g.Y(y), nullptr);
            LineTo(dc, g.X(50 + half), g.Y(y));
        }
    });
    WithPenAndBrush(dc, RGB(200, 40, 30), 2, CLR_INVALID, [&] {
        for (int i = 1; i <= 3; ++i) {
            const int d = 9 * i;
            Arc(dc, g.X(50 - d), g.Y(18 - d / 2), g.X(50 + d), g.Y(18 + d / 2), g.X(50 + d),
                g.Y(30), g.X(50 + d), g.Y(6));
            Arc(dc, g.X(50 - d), g.Y(18 - d / 2), g.X(50 + d), g.Y(18 + d / 2), g.X(50 - d), g.Y(6),
                g.X(50 - d), g.Y(30));
        }
    });
    WithPenAndBrush(dc, RGB(120, 20, 20), 1, RGB(230, 60, 40),
                    [&] { Ellipse(dc, g.X(46), g.Y(15), g.X(54), g.Y(21)); });
}

}  // namespace linkwell::win32

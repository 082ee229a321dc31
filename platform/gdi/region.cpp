// Regions as sorted band lists.
#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/gdi/gdiobj.h"
#include "platform/win/winbase.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace gdi::detail {
namespace {

using Spans = std::vector<std::pair<int, int>>;

// Merges sorted-by-left spans that overlap or touch.
Spans Normalise(Spans s) {
    std::sort(s.begin(), s.end());
    Spans out;
    for (auto& sp : s) {
        if (sp.first >= sp.second) continue;
        if (!out.empty() && sp.first <= out.back().second) out.back().second = std::max(out.back().second, sp.second);
        else out.push_back(sp);
    }
    return out;
}

// Joins vertically touching bands with equal spans and drops empty ones.
std::vector<Band> Coalesce(std::vector<Band> in) {
    std::vector<Band> out;
    for (auto& b : in) {
        if (b.spans.empty() || b.top >= b.bottom) continue;
        if (!out.empty() && out.back().bottom == b.top && out.back().spans == b.spans) out.back().bottom = b.bottom;
        else out.push_back(std::move(b));
    }
    return out;
}

Spans Combine1D(const Spans& a, const Spans& b, int mode) {
    // Sweep over all edges with coverage counts of a and b.
    std::vector<std::pair<int, int>> ev;  // x, delta code: +1 a start, -1 a end, +2 b start, -2 b end
    ev.reserve(2 * (a.size() + b.size()));
    for (auto [l, r] : a) { ev.emplace_back(l, 1); ev.emplace_back(r, -1); }
    for (auto [l, r] : b) { ev.emplace_back(l, 2); ev.emplace_back(r, -2); }
    std::sort(ev.begin(), ev.end());
    Spans out;
    int ina = 0, inb = 0;
    auto on = [&] {
        switch (mode) {
            case RGN_AND: return ina > 0 && inb > 0;
            case RGN_OR: return ina > 0 || inb > 0;
            case RGN_XOR: return (ina > 0) != (inb > 0);
            case RGN_DIFF: return ina > 0 && inb == 0;
            default: return ina > 0;
        }
    };
    std::size_t i = 0;
    int start = 0;
    bool was = false;
    while (i < ev.size()) {
        int x = ev[i].first;
        while (i < ev.size() && ev[i].first == x) {
            int d = ev[i].second;
            if (d == 1) ++ina; else if (d == -1) --ina; else if (d == 2) ++inb; else --inb;
            ++i;
        }
        bool now = on();
        if (now && !was) start = x;
        if (!now && was) out.emplace_back(start, x);
        was = now;
    }
    return Normalise(std::move(out));
}

}  // namespace

std::vector<Band> Combine(const std::vector<Band>& a, const std::vector<Band>& b, int mode) {
    std::vector<int> ys;
    ys.reserve(2 * (a.size() + b.size()));
    for (const Band& x : a) { ys.push_back(x.top); ys.push_back(x.bottom); }
    for (const Band& x : b) { ys.push_back(x.top); ys.push_back(x.bottom); }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<Band> out;
    std::size_t ia = 0, ib = 0;
    static const Spans kNone;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
        int y0 = ys[k], y1 = ys[k + 1];
        while (ia < a.size() && a[ia].bottom <= y0) ++ia;
        while (ib < b.size() && b[ib].bottom <= y0) ++ib;
        const Spans& sa = (ia < a.size() && a[ia].top <= y0) ? a[ia].spans : kNone;
        const Spans& sb = (ib < b.size() && b[ib].top <= y0) ? b[ib].spans : kNone;
        Spans s = Combine1D(sa, sb, mode);
        if (!s.empty()) out.push_back(Band{y0, y1, std::move(s)});
    }
    return Coalesce(std::move(out));
}

void UniteInPlace(std::vector<Band>& a, const std::vector<Band>& b) {
    if (b.empty()) return;
    if (a.empty()) {
        a = b;
        return;
    }
    // Bands of a that end above b's first row stay as they are; only the rest meets b.
    const int top = b.front().top;
    auto first = std::upper_bound(a.begin(), a.end(), top, [](int v, const Band& x) { return v < x.bottom; });
    std::vector<Band> merged;
    if (first == a.end()) {
        merged = b;
    } else {
        std::vector<Band> tail(std::make_move_iterator(first), std::make_move_iterator(a.end()));
        a.erase(first, a.end());
        merged = Combine(tail, b, RGN_OR);
    }
    std::size_t i = 0;
    if (!a.empty() && !merged.empty() && a.back().bottom == merged.front().top && a.back().spans == merged.front().spans) {
        a.back().bottom = merged.front().bottom;
        i = 1;
    }
    a.insert(a.end(), std::make_move_iterator(merged.begin() + static_cast<std::ptrdiff_t>(i)),
             std::make_move_iterator(merged.end()));
}

void Region::SetRects(std::vector<RECT> rects) {
    rects.erase(std::remove_if(rects.begin(), rects.end(),
                               [](const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }),
                rects.end());
    std::vector<int> ys;
    ys.reserve(rects.size() * 2);
    for (const RECT& r : rects) { ys.push_back(r.top); ys.push_back(r.bottom); }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<Spans> rows(ys.empty() ? 0 : ys.size() - 1);
    for (const RECT& r : rects) {
        std::size_t i0 = static_cast<std::size_t>(std::lower_bound(ys.begin(), ys.end(), r.top) - ys.begin());
        std::size_t i1 = static_cast<std::size_t>(std::lower_bound(ys.begin(), ys.end(), r.bottom) - ys.begin());
        for (std::size_t i = i0; i < i1; ++i) rows[i].emplace_back(r.left, r.right);
    }
    std::vector<Band> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Spans s = Normalise(std::move(rows[i]));
        if (!s.empty()) out.push_back(Band{ys[i], ys[i + 1], std::move(s)});
    }
    bands = Coalesce(std::move(out));
}

bool Region::Contains(int x, int y) const {
    auto it = std::upper_bound(bands.begin(), bands.end(), y, [](int v, const Band& b) { return v < b.bottom; });
    if (it == bands.end() || y < it->top) return false;
    auto sp = std::upper_bound(it->spans.begin(), it->spans.end(), x,
                               [](int v, const std::pair<int, int>& s) { return v < s.second; });
    return sp != it->spans.end() && x >= sp->first;
}

RECT Region::Box() const {
    if (bands.empty()) return RECT{};
    RECT r{INT_MAX, bands.front().top, INT_MIN, bands.back().bottom};
    for (const Band& b : bands) {
        r.left = std::min(r.left, static_cast<LONG>(b.spans.front().first));
        r.right = std::max(r.right, static_cast<LONG>(b.spans.back().second));
    }
    return r;
}

int Region::Type() const {
    if (bands.empty()) return NULLREGION;
    if (bands.size() == 1 && bands[0].spans.size() == 1) return SIMPLEREGION;
    return COMPLEXREGION;
}

std::vector<RECT> Region::Rects() const {
    std::vector<RECT> out;
    for (const Band& b : bands)
        for (auto [l, r] : b.spans) out.push_back(RECT{l, b.top, r, b.bottom});
    return out;
}

}  // namespace gdi::detail

using namespace gdi::detail;

HRGN CreateRectRgn(int l, int t, int r, int b) {
    auto rg = std::make_shared<Region>();
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    rg->SetRects({RECT{l, t, r, b}});
    return reinterpret_cast<HRGN>(Add(rg));
}

HRGN CreateRectRgnIndirect(const RECT* r) {
    if (!r) return nullptr;
    return CreateRectRgn(r->left, r->top, r->right, r->bottom);
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data) {
    if (xform || !data || count < sizeof(RGNDATAHEADER) || data->rdh.dwSize < sizeof(RGNDATAHEADER) ||
        data->rdh.iType != RDH_RECTANGLES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::uint64_t need = data->rdh.dwSize + static_cast<std::uint64_t>(data->rdh.nCount) * sizeof(RECT);
    if (need > count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<RECT> rects(data->rdh.nCount);
    if (!rects.empty())
        std::memcpy(rects.data(), reinterpret_cast<const std::uint8_t*>(data) + data->rdh.dwSize,
                    rects.size() * sizeof(RECT));
    auto rg = std::make_shared<Region>();
    rg->SetRects(std::move(rects));
    return reinterpret_cast<HRGN>(Add(rg));
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    auto d = GetRegion(dst);
    auto ra = GetRegion(a);
    if (!d || !ra || mode < RGN_AND || mode > RGN_COPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    if (mode == RGN_COPY) {
        d->bands = ra->bands;
        return d->Type();
    }
    auto rb = GetRegion(b);
    if (!rb) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    if (mode == RGN_OR && d == ra && rb != ra) {
        // Joining a region with one below it (a shape built top-down in batches) appends bands.
        UniteInPlace(d->bands, rb->bands);
        return d->Type();
    }
    d->bands = Combine(ra->bands, rb->bands, mode);
    return d->Type();
}

BOOL SetRectRgn(HRGN h, int l, int t, int r, int b) {
    auto rg = GetRegion(h);
    if (!rg) return FALSE;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    rg->SetRects({RECT{l, t, r, b}});
    return TRUE;
}

int OffsetRgn(HRGN h, int dx, int dy) {
    auto rg = GetRegion(h);
    if (!rg) return ERROR;
    for (Band& b : rg->bands) {
        b.top += dy;
        b.bottom += dy;
        for (auto& s : b.spans) { s.first += dx; s.second += dx; }
    }
    return rg->Type();
}

BOOL PtInRegion(HRGN h, int x, int y) {
    auto rg = GetRegion(h);
    return rg && rg->Contains(x, y);
}

BOOL RectInRegion(HRGN h, const RECT* r) {
    auto rg = GetRegion(h);
    if (!rg || !r) return FALSE;
    Region probe;
    probe.SetRects({*r});
    return !Combine(rg->bands, probe.bands, RGN_AND).empty();
}

int GetRgnBox(HRGN h, RECT* r) {
    auto rg = GetRegion(h);
    if (!rg || !r) return ERROR;
    *r = rg->Box();
    return rg->Type();
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto ra = GetRegion(a), rb = GetRegion(b);
    if (!ra || !rb) return ERROR;
    return ra->bands == rb->bands;
}

DWORD GetRegionData(HRGN h, DWORD size, RGNDATA* data) {
    auto rg = GetRegion(h);
    if (!rg) return 0;
    std::vector<RECT> rects = rg->Rects();
    DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data || size < need) return need;
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    data->rdh.rcBound = rg->Box();
    if (!rects.empty())
        std::memcpy(reinterpret_cast<std::uint8_t*>(data) + sizeof(RGNDATAHEADER), rects.data(),
                    rects.size() * sizeof(RECT));
    return need;
}

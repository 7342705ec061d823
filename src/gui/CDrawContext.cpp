#include "CDrawContext.h"

#include <cairo.h>

#include <algorithm>

#include "DisplayText.h"

namespace vexal {

CFontDesc::CFontDesc(const char* family, CCoord s, bool bold) : size(s > 0 ? s : kStandardSize) {
    face = cairo_toy_font_face_create(family, CAIRO_FONT_SLANT_NORMAL,
                                      bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

CFontDesc::~CFontDesc() {
    if (face) cairo_font_face_destroy(face);
}

CDrawContext::CDrawContext(cairo_surface_t* t)
    : target(t), standardFont(new CFontDesc(CFontDesc::kStandardFamily, CFontDesc::kStandardSize)) {
    surfaceRect = CRect(0, 0, cairo_image_surface_get_width(target), cairo_image_surface_get_height(target));
    createCairo();
}

CDrawContext::~CDrawContext() {
    cairo_destroy(cr);
    standardFont->forget();
}

void CDrawContext::createCairo() {
    cr = cairo_create(target);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    state = State{};
    state.font = standardFont;
    state.clip = surfaceRect;
    savedCount = 0;
}

bool CDrawContext::isHealthy() const { return cairo_status(cr) == CAIRO_STATUS_SUCCESS; }

bool CDrawContext::recover() {
    if (isHealthy()) return false;
    // A context in an error state draws nothing ever again, and some of its
    // getters hand out new objects on every call: it is replaced, not reused.
    cairo_destroy(cr);
    createCairo();
    return true;
}

void CDrawContext::setSource(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::drawRect(const CRect& r, CDrawStyle style) {
    if (r.isEmpty()) return;
    if (style != kDrawStroked) {
        setSource(state.fill);
        cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        cairo_fill(cr);
    }
    if (style != kDrawFilled && state.lineWidth > 0) {
        const CCoord w = state.lineWidth;
        setSource(state.frame);
        cairo_set_line_width(cr, w);
        cairo_rectangle(cr, r.left + w / 2, r.top + w / 2, r.getWidth() - w, r.getHeight() - w);
        cairo_stroke(cr);
    }
}

void CDrawContext::showText(const char* displayed, CCoord x, const CRect& r) {
    cairo_save(cr);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_clip(cr);
    cairo_set_font_face(cr, state.font->getFace());
    cairo_set_font_size(cr, state.font->getSize());
    // Text keeps its antialiasing: only shapes are drawn hard-edged.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const CCoord y = r.top + (r.getHeight() + font.ascent - font.descent) / 2;
    setSource(state.fontColor);
    cairo_move_to(cr, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    cairo_show_text(cr, displayed);
    cairo_restore(cr);
}

CCoord CDrawContext::measure(const char* displayed) {
    cairo_save(cr);
    cairo_set_font_face(cr, state.font->getFace());
    cairo_set_font_size(cr, state.font->getSize());
    cairo_text_extents_t ext{};
    cairo_text_extents(cr, displayed, &ext);
    cairo_restore(cr);
    return ext.x_advance;
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cr);
    cairo_rectangle(cr, state.clip.left, state.clip.top, state.clip.getWidth(),
                    state.clip.getHeight());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& clip) {
    state.clip = clip;
    state.clip.bound(surfaceRect);
    applyClip();
}

void CDrawContext::resetClipRect() { setClipRect(surfaceRect); }

void CDrawContext::saveGlobalState() {
    if (savedCount < kMaxSaved) saved[savedCount] = state;
    ++savedCount;
}

void CDrawContext::restoreGlobalState() {
    if (savedCount == 0) return;
    --savedCount;
    if (savedCount >= kMaxSaved) return;
    const CRect oldClip = state.clip;
    state = saved[savedCount];
    if (!(oldClip == state.clip)) applyClip();
}

}  // namespace vexal

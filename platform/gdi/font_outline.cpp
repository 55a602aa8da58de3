// wglUseFontOutlinesA: one display list per character code of the DC's
// selected font, built in the current GL context, and its metrics in em
// units (1.0 = the em height) as WGL gives them.
//
// Each glyph's outline comes unscaled from FreeType (font units), its
// curves are cut into chords no further than the deviation from the curve,
// and the GLU tessellator fills it with the face's own fill rule. A list
// holds the front face at z = 0 (normal +z), the back face at z = -extrusion
// (normal -z, winding reversed), the sides as quads with outward normals,
// and then moves the origin by the glyph's advance.
#include "gdi/font_internal.h"

#include FT_OUTLINE_H
#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>

#include <vector>

#include "gdi/gdi_internal.h"
#include "kernel/layer_kernel.h"

namespace {

// Windows-1252 codes 0x80 to 0x9F; the five it leaves undefined map to the
// C1 controls of the same value, as Windows converts them.
const unsigned short cp1252_80_9f[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned long ansi_to_unicode(DWORD code) {
    if (code >= 0x80 && code <= 0x9F) return cp1252_80_9f[code - 0x80];
    return code;
}

// Chords per curve are bounded so a degenerate control point costs little.
const int max_chords = 64;

struct Point {
    double x, y;
};

// A glyph's outline cut into closed polygons, in font units, and what the
// tessellator made of it. Kept across glyphs so the buffers are reused.
struct GlyphShape {
    std::vector<Point> points;  // the contours' points, then the tessellator's new ones
    std::vector<size_t> ends;   // one past each contour's last point
    size_t contour_points;      // points that belong to contours
    double tolerance;           // the largest chord deviation, in font units
    Point pen;
    std::vector<GLdouble> coords;
    std::vector<unsigned> triangles;  // point indices, three per triangle
    bool tess_failed;
};

void close_contour(GlyphShape* shape) {
    size_t start = shape->ends.empty() ? 0 : shape->ends.back();
    std::vector<Point>& points = shape->points;
    // The decomposition ends each contour back on its first point.
    if (points.size() > start + 1 && points.back().x == points[start].x && points.back().y == points[start].y)
        points.pop_back();
    if (points.size() < start + 3) {
        points.resize(start);  // a point or a line encloses nothing
        return;
    }
    shape->ends.push_back(points.size());
}

void add_point(GlyphShape* shape, double x, double y) {
    shape->points.push_back(Point{x, y});
    shape->pen = Point{x, y};
}

int chords_for(double bend, double tolerance) {
    // The chord of a curve piece over a parameter step h strays at most
    // h * h / 8 times the curve's largest second derivative from it.
    int n = static_cast<int>(ceil(sqrt(bend / (8 * tolerance))));
    return n < 1 ? 1 : (n > max_chords ? max_chords : n);
}

int on_move_to(const FT_Vector* to, void* user) {
    GlyphShape* shape = static_cast<GlyphShape*>(user);
    close_contour(shape);
    add_point(shape, to->x, to->y);
    return 0;
}

int on_line_to(const FT_Vector* to, void* user) {
    add_point(static_cast<GlyphShape*>(user), to->x, to->y);
    return 0;
}

int on_conic_to(const FT_Vector* control, const FT_Vector* to, void* user) {
    GlyphShape* shape = static_cast<GlyphShape*>(user);
    Point p0 = shape->pen;
    double ax = p0.x - 2 * control->x + to->x, ay = p0.y - 2 * control->y + to->y;
    int n = chords_for(2 * hypot(ax, ay), shape->tolerance);
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        add_point(shape, u * u * p0.x + 2 * u * t * control->x + t * t * to->x,
                  u * u * p0.y + 2 * u * t * control->y + t * t * to->y);
    }
    return 0;
}

int on_cubic_to(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    GlyphShape* shape = static_cast<GlyphShape*>(user);
    Point p0 = shape->pen;
    double b1 = hypot(p0.x - 2 * c1->x + c2->x, p0.y - 2 * c1->y + c2->y);
    double b2 = hypot(c1->x - 2.0 * c2->x + to->x, c1->y - 2.0 * c2->y + to->y);
    int n = chords_for(6 * (b1 > b2 ? b1 : b2), shape->tolerance);
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
        add_point(shape, w0 * p0.x + w1 * c1->x + w2 * c2->x + w3 * to->x,
                  w0 * p0.y + w1 * c1->y + w2 * c2->y + w3 * to->y);
    }
    return 0;
}

void flatten(FT_Outline* outline, GlyphShape* shape) {
    shape->points.clear();
    shape->ends.clear();
    static const FT_Outline_Funcs funcs = {on_move_to, on_line_to, on_conic_to, on_cubic_to, 0, 0};
    FT_Outline_Decompose(outline, &funcs, shape);
    close_contour(shape);
    shape->contour_points = shape->points.size();
}

// Tessellator callbacks. Vertex data is a point's index plus one.
void CALLBACK on_tess_begin(GLenum, void*) {}
void CALLBACK on_tess_edge_flag(GLboolean, void*) {}  // asking for it makes the output plain triangles

void CALLBACK on_tess_vertex(void* vertex, void* user) {
    static_cast<GlyphShape*>(user)->triangles.push_back(static_cast<unsigned>(reinterpret_cast<uintptr_t>(vertex) - 1));
}

void CALLBACK on_tess_combine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* user) {
    GlyphShape* shape = static_cast<GlyphShape*>(user);
    shape->points.push_back(Point{coords[0], coords[1]});
    *out = reinterpret_cast<void*>(static_cast<uintptr_t>(shape->points.size()));
}

void CALLBACK on_tess_error(GLenum, void* user) {
    static_cast<GlyphShape*>(user)->tess_failed = true;
}

GLUtesselator* new_tessellator() {
    GLUtesselator* tess = gluNewTess();
    if (!tess) return nullptr;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(on_tess_begin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(on_tess_edge_flag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(on_tess_vertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(on_tess_combine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(on_tess_error));
    gluTessNormal(tess, 0, 0, 1);
    return tess;
}

// Fills shape->triangles, wound counter-clockwise seen from +z.
void tessellate(GLUtesselator* tess, GLenum winding, GlyphShape* shape) {
    shape->triangles.clear();
    shape->tess_failed = false;
    if (shape->ends.empty()) return;
    // The tessellator keeps pointers to the coordinates until the polygon ends.
    shape->coords.resize(3 * shape->contour_points);
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, winding);
    gluTessBeginPolygon(tess, shape);
    size_t start = 0;
    for (size_t end : shape->ends) {
        gluTessBeginContour(tess);
        for (size_t i = start; i < end; ++i) {
            GLdouble* xyz = &shape->coords[3 * i];
            xyz[0] = shape->points[i].x;
            xyz[1] = shape->points[i].y;
            xyz[2] = 0;
            gluTessVertex(tess, xyz, reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1)));
        }
        gluTessEndContour(tess);
        start = end;
    }
    gluTessEndPolygon(tess);
    if (shape->tess_failed) shape->triangles.clear();
}

void emit_faces(const GlyphShape& shape, float scale, float depth) {
    const std::vector<Point>& p = shape.points;
    const std::vector<unsigned>& tri = shape.triangles;
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    for (unsigned i : tri) glVertex3f(p[i].x * scale, p[i].y * scale, 0);
    if (depth != 0) {
        glNormal3f(0, 0, -1);
        for (size_t t = 0; t + 2 < tri.size(); t += 3)
            for (int k = 2; k >= 0; --k) glVertex3f(p[tri[t + k]].x * scale, p[tri[t + k]].y * scale, -depth);
    }
    glEnd();
}

// fill_right: the filled side lies right of each contour's direction (the
// TrueType convention); the outward normal then points left of it.
void emit_sides(const GlyphShape& shape, float scale, float depth, bool fill_right) {
    glBegin(GL_QUADS);
    size_t start = 0;
    for (size_t end : shape.ends) {
        for (size_t i = start; i < end; ++i) {
            const Point& a = shape.points[i];
            const Point& b = shape.points[i + 1 < end ? i + 1 : start];
            double dx = b.x - a.x, dy = b.y - a.y, length = hypot(dx, dy);
            if (length == 0) continue;
            float nx = static_cast<float>(-dy / length), ny = static_cast<float>(dx / length);
            float ax = a.x * scale, ay = a.y * scale, bx = b.x * scale, by = b.y * scale;
            if (fill_right) {
                glNormal3f(nx, ny, 0);
                glVertex3f(ax, ay, 0);
                glVertex3f(bx, by, 0);
                glVertex3f(bx, by, -depth);
                glVertex3f(ax, ay, -depth);
            } else {
                glNormal3f(-nx, -ny, 0);
                glVertex3f(ax, ay, 0);
                glVertex3f(ax, ay, -depth);
                glVertex3f(bx, by, -depth);
                glVertex3f(bx, by, 0);
            }
        }
        start = end;
    }
    glEnd();
}

void emit_lines(const GlyphShape& shape, float scale) {
    size_t start = 0;
    for (size_t end : shape.ends) {
        glBegin(GL_LINE_LOOP);
        for (size_t i = start; i < end; ++i) glVertex3f(shape.points[i].x * scale, shape.points[i].y * scale, 0);
        glEnd();
        start = end;
    }
}

// Loads the glyph for a code, unscaled, with fontconfig's synthetic bold or
// slant applied; *advance gets its advance in font units.
bool load_outline(const FontFace& font, DWORD code, FT_Pos* advance) {
    FT_Face face = font.face;
    FT_UInt index = code < 256 ? FT_Get_Char_Index(face, ansi_to_unicode(code)) : 0;
    if (code >= 256)
        layer_fixme_once("wglUseFontOutlinesA: codes above 255 are not implemented; they get the default glyph");
    // A code the face has no glyph for gets the face's default glyph, as
    // Windows gives it for an ANSI font.
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP)) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    *advance = slot->metrics.horiAdvance;
    if (font.transformed) FT_Outline_Transform(&slot->outline, &font.matrix);
    if (font.embolden) {
        FT_Pos strength = face->units_per_EM / 24;
        FT_Outline_Embolden(&slot->outline, strength);
        *advance += strength;
    }
    return true;
}

void fill_metrics(FT_Outline* outline, FT_Pos advance, double scale, GLYPHMETRICSFLOAT* metrics) {
    *metrics = GLYPHMETRICSFLOAT{};
    if (outline && outline->n_points > 0) {
        FT_BBox box;
        FT_Outline_Get_CBox(outline, &box);
        metrics->gmfBlackBoxX = static_cast<FLOAT>((box.xMax - box.xMin) * scale);
        metrics->gmfBlackBoxY = static_cast<FLOAT>((box.yMax - box.yMin) * scale);
        // The black box's top left, y up.
        metrics->gmfptGlyphOrigin.x = static_cast<FLOAT>(box.xMin * scale);
        metrics->gmfptGlyphOrigin.y = static_cast<FLOAT>(box.yMax * scale);
    }
    metrics->gmfCellIncX = static_cast<FLOAT>(advance * scale);
}

}  // namespace

extern "C" {

BOOL WINAPI wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD list_base, FLOAT deviation, FLOAT extrusion,
                                int format, LPGLYPHMETRICSFLOAT metrics) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (deviation < 0 || (format != WGL_FONT_LINES && format != WGL_FONT_POLYGONS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // No font of ours (the stock system font is not an outline font), or no
    // face for it: nothing is built and the lists stay as they were.
    FontObject* font = gdi_font(record->font);
    const FontFace* face = font ? gdi_font_face(font) : nullptr;
    // A real GL context may be current without WGL knowing (an offscreen
    // one of a developer tool): the lists go into whatever context is.
    const bool gl_current = glGetString(GL_VERSION) != nullptr;
    if (!face || !face->face || (!wglGetCurrentContext() && !gl_current)) return FALSE;
    if (format == WGL_FONT_LINES && extrusion != 0)
        layer_fixme_once("wglUseFontOutlinesA: WGL_FONT_LINES draws the front outline only, without extrusion");

    // The null driver's contexts are not GL ones: the metrics are still made
    // for the logic tests, and no lists.
    const bool emit = gl_current;
    const double em = face->face->units_per_EM;
    const float scale = static_cast<float>(1 / em);

    GLUtesselator* tess = format == WGL_FONT_POLYGONS ? new_tessellator() : nullptr;
    if (format == WGL_FONT_POLYGONS && !tess) return FALSE;
    GlyphShape shape{};
    // A deviation of 0 means one design unit, as WGL has it.
    shape.tolerance = deviation > 0 ? deviation * em : 1.0;

    BOOL built = TRUE;
    for (DWORD i = 0; i < count; ++i) {
        FT_Pos advance = 0;
        FT_Outline* outline = nullptr;
        if (load_outline(*face, first + i, &advance)) {
            outline = &face->face->glyph->outline;
            flatten(outline, &shape);
        } else {
            shape.points.clear();
            shape.ends.clear();
            built = FALSE;
        }
        if (metrics) fill_metrics(outline, advance, 1 / em, &metrics[i]);
        if (!emit) continue;

        glNewList(list_base + i, GL_COMPILE);
        if (format == WGL_FONT_POLYGONS) {
            // The face's fill rule: TrueType fills by non-zero winding.
            bool even_odd = outline && (outline->flags & FT_OUTLINE_EVEN_ODD_FILL);
            bool right = !outline || FT_Outline_Get_Orientation(outline) != FT_ORIENTATION_POSTSCRIPT;
            tessellate(tess, even_odd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO, &shape);
            emit_faces(shape, scale, extrusion);
            if (extrusion != 0) emit_sides(shape, scale, extrusion, right);
        } else {
            emit_lines(shape, scale);
        }
        glTranslatef(advance * scale, 0, 0);
        glEndList();
    }
    if (tess) gluDeleteTess(tess);
    return built;
}

}  // extern "C"

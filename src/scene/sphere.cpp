// GLU's sphere, point by point and triangle by triangle.
#include "scene/sphere.h"

#include <math.h>

namespace {

const double pi = 3.14159265358979323846;
const int grid_columns = sphere_max_slices + 1;
const int grid_points = (sphere_max_stacks + 1) * grid_columns;
const GLushort unused = 0xFFFF;

}  // namespace

void make_sphere(double radius, int slices, int stacks, bool textured, Sphere* sphere) {
    // GLU's caches: the angles are rounded to floats before their sine and
    // cosine, and the radius is applied in double.
    float slice_sin[sphere_max_slices + 1], slice_cos[sphere_max_slices + 1];
    float stack_sin[sphere_max_stacks + 1], stack_cos[sphere_max_stacks + 1];
    for (int i = 0; i < slices; ++i) {
        const float angle = static_cast<float>(2 * pi * i / slices);
        slice_sin[i] = static_cast<float>(sin(angle));
        slice_cos[i] = static_cast<float>(cos(angle));
    }
    slice_sin[slices] = slice_sin[0];
    slice_cos[slices] = slice_cos[0];
    for (int j = 0; j <= stacks; ++j) {
        const float angle = static_cast<float>(pi * j / stacks);
        stack_sin[j] = static_cast<float>(radius * sin(angle));
        stack_cos[j] = static_cast<float>(radius * cos(angle));
    }
    stack_sin[0] = stack_sin[stacks] = 0.0f;

    // Strip j runs between rows j and j + 1; its quad i is split into
    // (high i, low i, low i + 1) and (high i + 1, high i, low i + 1). The
    // points are numbered as the triangles first use them, so that a draw
    // of the sphere starts at index 0 and uses every point it is given.
    GLushort number[grid_points];
    for (GLushort& n : number) n = unused;
    sphere->point_count = sphere->corner_count = 0;
    // Row j runs from pole to pole, column i round; untextured, a pole is
    // one point and the last column is the first.
    auto corner = [&](int j, int i) {
        if (!textured && (j == 0 || j == stacks || i == slices)) i = 0;
        const int g = j * grid_columns + i;
        if (number[g] == unused) {
            number[g] = static_cast<GLushort>(sphere->point_count);
            sphere->points[sphere->point_count++] = {
                stack_sin[j] * slice_sin[i],        stack_sin[j] * slice_cos[i],        stack_cos[j],
                1 - static_cast<float>(i) / slices, 1 - static_cast<float>(j) / stacks,
            };
        }
        sphere->corners[sphere->corner_count++] = number[g];
    };
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            if (j > 0) {
                corner(j + 1, i);
                corner(j, i);
                corner(j, i + 1);
            }
            if (j < stacks - 1) {
                corner(j + 1, i + 1);
                corner(j + 1, i);
                corner(j, i + 1);
            }
        }
    }
}

void draw_sphere(const Sphere& sphere) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(SpherePoint), &sphere.points[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(SpherePoint), &sphere.points[0].s);
    glDrawElements(GL_TRIANGLES, sphere.corner_count, GL_UNSIGNED_SHORT, sphere.corners);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// ContactSheet: posing the creature frame by frame and composing the cells.
#include "ContactSheet.h"

#include "BitmapFont.h"
#include "Canvas.h"
#include "ImageFiles.h"
#include "creatures/DogTables.h"
#include "model/MilkshapeModel.h"
#include "model/ModelMain.h"
#include "model/ModelPack.h"
#include "platform/headless/HeadlessGL.h"
#include "resources/Texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const int kCell = 200;
// A portrait's cell: three times the creature's size in an ordinary cell.
const int kPortrait = 300;
const int kLabelWidth = 170;
const int kHeader = 28;
const char* const kRowNames[NUM_DOG_ANIMS] = {"WALK",     "RUN",      "PANT", "SIT DOWN", "SIT",
                                              "STAND UP", "LIE DOWN", "LIE",  "GET UP",   "LOOK AROUND",
                                              "SNIFF",    "PLAY BOW", "WAG"};

// The creature loaded the way the herd loads it, at size 100 %.
struct LoadedCreature {
    MS3D model;
    ANIMATIONTEMPLATE animTemplate;
    ONEMODEL instance;
    std::unique_ptr<Texture[]> coats;
    int numCoats = 0;
};

// Refuses what the herd refuses, with the herd's reasons; the sheet also
// needs a coat to draw.
bool Load(const std::string& path, LoadedCreature* c, std::string* error)
{
    Texture* coats = nullptr;
    int count = 0;
    std::string why;
    const bool loaded = LoadModel(path.c_str(), &c->model, &coats, &count, &why);
    c->coats.reset(coats);
    c->numCoats = loaded ? count : 0;
    if (loaded)
        why = CreatureModelProblem(c->model);
    if (why.empty() && c->numCoats < 1)
        why = "the pack holds no coat to draw the creature in";
    if (!why.empty()) {
        *error = path + ": " + why;
        return false;
    }
    c->model.Scale(0.25f);
    c->model.InitialSetup();
    const unsigned int first = c->coats[0].texID;
    if (!c->animTemplate.Setup(&c->model) || !c->instance.Setup(&c->animTemplate, &c->model, &first)) {
        *error = path + ": the model cannot be animated";
        return false;
    }
    return true;
}

// Shows the frame `frame` of the row running from start to end.
void Pose(ONEMODEL& m, int start, int end, int frame)
{
    m.SetAnimation(start, end, 1000.0, false, false);
    m.RevertPoints(m.joints.data());
    m.Animate(double(frame - start) / m.animTemplate->animationFPS);
    m.UpdateSkeleton();
    m.UpdatePoints(m.joints.data());
}

void SetCoat(ONEMODEL& m, unsigned int texture)
{
    for (MODELMATERIAL& mat : m.materials)
        mat.texture = texture;
}

// Where the camera stands, relative to the point it looks at (a little above
// and ahead of the creature's root), and how wide it sees.
struct Camera {
    double x, y, z;
    double fieldOfView = 32;
    double lookY = 0.6;
    // Looking straight down needs another "up" than the sky.
    bool fromAbove = false;
};

// Draws the ground and the creature into a square of `cell` pixels.
void Render(ONEMODEL& m, const Camera& eye, int cell = kCell)
{
    const double rootZ = m.joints.empty() ? 0 : m.joints[0].absolute.m[14];
    glViewport(0, 0, cell, cell);
    glClearColor(0.78f, 0.84f, 0.9f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(eye.fieldOfView, 1, 0.1, 60);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.lookY + eye.y, rootZ + 0.25 + eye.z, 0, eye.lookY, rootZ + 0.25, 0, eye.fromAbove ? 0 : 1,
              eye.fromAbove ? 1 : 0);

    const GLfloat light[4] = {0.4f, 1.0f, 0.7f, 0}, ambient[4] = {0.55f, 0.55f, 0.55f, 1},
                  diffuse[4] = {0.85f, 0.85f, 0.85f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);

    // The ground, with lines across every world unit so strides can be judged.
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.55f, 0.62f, 0.5f);
    glBegin(GL_QUADS);
    glVertex3d(-40, 0, rootZ + 40);
    glVertex3d(40, 0, rootZ + 40);
    glVertex3d(40, 0, rootZ - 40);
    glVertex3d(-40, 0, rootZ - 40);
    glEnd();
    glColor3f(0.42f, 0.48f, 0.38f);
    glBegin(GL_LINES);
    for (int z = -40; z <= 40; z++) {
        glVertex3d(-40, 0.002, std::floor(rootZ) + z);
        glVertex3d(40, 0.002, std::floor(rootZ) + z);
    }
    glEnd();

    glColor3f(1, 1, 1);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const char* base = reinterpret_cast<const char*>(m.vertices.data());
    glVertexPointer(3, GL_FLOAT, MODELVERTEX_STRIDE, base);
    glNormalPointer(GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_NORMAL_OFFSET);
    glTexCoordPointer(2, GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_TEXCOORD_OFFSET);
    for (int g = 0; g < m.numGroups; g++)
        m.DrawGroup(g);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_CULL_FACE);
    glFinish();
}

// Copies the rendered cell (bottom row first, in the lower left corner of the
// context's buffer, which is a portrait wide) into the sheet at (x, y).
void Paste(Canvas& sheet, const std::vector<unsigned char>& rgba, int x, int y, int cell = kCell)
{
    for (int row = 0; row < cell; row++)
        for (int col = 0; col < cell; col++) {
            const unsigned char* p = &rgba[(size_t(cell - 1 - row) * size_t(kPortrait) + size_t(col)) * 4];
            sheet.At(x + col, y + row) = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, 1};
        }
}

const Colour kInk = {0.1f, 0.1f, 0.15f, 1};

bool AnimationSheet(HeadlessGL& gl, LoadedCreature& c, const std::string& out, std::string* error)
{
    Canvas sheet(kLabelWidth + 6 * kCell, kHeader + NUM_DOG_ANIMS * kCell, {0.95f, 0.95f, 0.93f, 1});
    const char* headings[3] = {"FIRST", "MIDDLE", "LAST"};
    for (int i = 0; i < 3; i++) {
        DrawText(sheet, std::string(headings[i]) + " SIDE", kLabelWidth + i * 2 * kCell + 8, 8, 2, kInk);
        DrawText(sheet, "3/4", kLabelWidth + (i * 2 + 1) * kCell + 8, 8, 2, kInk);
    }
    SetCoat(c.instance, c.coats[0].texID);
    for (int r = 0; r < NUM_DOG_ANIMS; r++) {
        const DOGANIMATION& row = dogAnims[r];
        const int y = kHeader + r * kCell;
        DrawText(sheet, std::to_string(r) + " " + kRowNames[r], 8, y + kCell / 2 - 7, 2, kInk);
        DrawText(sheet, std::to_string(row.startFrame) + "-" + std::to_string(row.endFrame), 8, y + kCell / 2 + 12, 2,
                 kInk);
        const int frames[3] = {row.startFrame, (row.startFrame + row.endFrame) / 2, row.endFrame};
        for (int i = 0; i < 3; i++) {
            Pose(c.instance, row.startFrame, row.endFrame, frames[i]);
            Render(c.instance, {4.8, 0.3, 0});
            Paste(sheet, gl.ReadPixels(), kLabelWidth + i * 2 * kCell, y);
            Render(c.instance, {2.9, 1.1, 2.9});
            Paste(sheet, gl.ReadPixels(), kLabelWidth + (i * 2 + 1) * kCell, y);
        }
    }
    if (!SavePng(sheet, out)) {
        *error = out + ": cannot write";
        return false;
    }
    return true;
}

bool CoatSheet(HeadlessGL& gl, LoadedCreature& c, const std::string& out, std::string* error)
{
    const int columns = 4, rows = (c.numCoats + columns - 1) / columns;
    Canvas sheet(columns * kCell, rows * (kCell + 24), {0.95f, 0.95f, 0.93f, 1});
    Pose(c.instance, 0, 0, 0);
    for (int k = 0; k < c.numCoats; k++) {
        const int x = (k % columns) * kCell, y = (k / columns) * (kCell + 24);
        SetCoat(c.instance, c.coats[k].texID);
        Render(c.instance, {2.8, 0.9, 2.8});
        Paste(sheet, gl.ReadPixels(), x, y + 24);
        DrawText(sheet, "COAT " + std::to_string(k) + " LUMP " + std::to_string(k + 1), x + 8, y + 6, 2, kInk);
    }
    if (!SavePng(sheet, out)) {
        *error = out + ": cannot write";
        return false;
    }
    return true;
}

// Every coat close up, standing: from three quarters in front, from the side
// and from above, each filling a larger cell.
bool PortraitSheet(HeadlessGL& gl, LoadedCreature& c, const std::string& out, std::string* error)
{
    const int views = 3;
    const Camera cameras[views] = {{2.0, 0.55, 2.7, 32, 0.55}, {3.7, 0.1, 0, 32, 0.55}, {0, 4.4, 0.01, 32, 0.0, true}};
    const char* const names[views] = {"3/4 FRONT", "SIDE", "TOP"};
    Canvas sheet(kLabelWidth + views * kPortrait, c.numCoats * kPortrait, {0.95f, 0.95f, 0.93f, 1});
    Pose(c.instance, 0, 0, 0);
    for (int k = 0; k < c.numCoats; k++) {
        SetCoat(c.instance, c.coats[k].texID);
        DrawText(sheet, "COAT " + std::to_string(k), 8, k * kPortrait + kPortrait / 2 - 7, 2, kInk);
        for (int v = 0; v < views; v++) {
            Render(c.instance, cameras[v], kPortrait);
            Paste(sheet, gl.ReadPixels(), kLabelWidth + v * kPortrait, k * kPortrait, kPortrait);
            if (k == 0)
                DrawText(sheet, names[v], kLabelWidth + v * kPortrait + 8, 8, 2, kInk);
        }
    }
    if (!SavePng(sheet, out)) {
        *error = out + ": cannot write";
        return false;
    }
    return true;
}

} // namespace

bool WriteContactSheets(const std::string& pack, const std::string& out, const std::string& coatsOut,
                        std::string* error, const std::string& portraitsOut)
{
    HeadlessGL gl;
    if (!gl.Create(kPortrait, kPortrait, error))
        return false;
    bool ok;
    {
        // Everything that owns OpenGL names goes before the context does.
        LoadedCreature creature;
        ok = Load(pack, &creature, error) && AnimationSheet(gl, creature, out, error) &&
             (coatsOut.empty() || CoatSheet(gl, creature, coatsOut, error)) &&
             (portraitsOut.empty() || PortraitSheet(gl, creature, portraitsOut, error));
        SetCoat(creature.instance, 0);
    }
    return ok;
}

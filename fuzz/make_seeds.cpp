// fuzz_seeds DIR: writes a starting corpus for the fuzz targets, made on the
// spot: DIR/tga/ gets TGA images of each accepted variant, DIR/picture/ small
// PNG, JPEG and GIF pictures, DIR/ms3d/ a small skinned model, DIR/pack/ the
// two packs the build generates and a small pack of the model and a TGA.
#include "model/MS3DWriter.h"
#include "resources/AtomicFile.h"
#include "resources/PackWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

bool Write(const std::string& path, const Bytes& bytes)
{
    return WriteFileAtomically(path, bytes, nullptr);
}

Bytes TgaHeader(unsigned char type, int bpp)
{
    return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, static_cast<unsigned char>(bpp), 0};
}

// Two joints, the second under the first, each with keys; three vertices,
// one on no joint, making one triangle in one group with one material.
MS3D SeedModel()
{
    MS3D m;
    m.animationFPS = 24;
    m.totalFrames = 12;
    m.vertices.resize(3);
    m.triangles.resize(1);
    for (int i = 0; i < 3; i++) {
        m.vertices[size_t(i)].position = VECTOR3D(float(i), float(i % 2), 0.5f);
        m.vertices[size_t(i)].boneId = int8_t(i - 1);
        m.triangles[0].vertexIndices[i] = uint16_t(i);
        m.triangles[0].vertexNormals[i] = VECTOR3D(0, 0, 1);
        m.triangles[0].s[i] = 0.5f * float(i);
    }
    m.groups.resize(1);
    m.groups[0].triangleIndices = {0};
    m.groups[0].materialIndex = 0;
    m.materials.resize(1);
    m.joints.resize(2);
    std::snprintf(m.joints[0].name, sizeof m.joints[0].name, "root");
    std::snprintf(m.joints[1].name, sizeof m.joints[1].name, "tip");
    std::snprintf(m.joints[1].parentName, sizeof m.joints[1].parentName, "root");
    m.joints[1].position = VECTOR3D(0, 1, 0);
    for (MS3D_JOINT& j : m.joints)
        for (float time : {0.0f, 0.5f}) {
            const MS3D_KEYFRAME k{time, VECTOR3D(time, 0, time * 2)};
            j.rotationKeys.push_back(k);
            j.translationKeys.push_back(k);
        }
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds DIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    for (const char* sub : {"", "/tga", "/picture", "/ms3d", "/pack"})
        mkdir((dir + sub).c_str(), 0755);
    bool ok = true;
    for (int bpp : {24, 32}) {
        const size_t pixel = size_t(bpp / 8);
        Bytes raw = TgaHeader(2, bpp), rle = TgaHeader(10, bpp);
        raw.resize(raw.size() + 6 * pixel, 0x40);
        // A run of 4 and a raw packet of 2.
        rle.push_back(0x83);
        rle.insert(rle.end(), pixel, 0x40);
        rle.push_back(0x01);
        rle.insert(rle.end(), 2 * pixel, 0x80);
        ok &= Write(dir + "/tga/raw" + std::to_string(bpp), raw) && Write(dir + "/tga/rle" + std::to_string(bpp), rle);
    }
    // A 6x5 picture of one colour.
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 6, 5);
    gdk_pixbuf_fill(pixbuf, 0x3366ccff);
    for (const char* format : {"png", "jpeg"})
        ok &= gdk_pixbuf_save(pixbuf, (dir + "/picture/a." + format).c_str(), format, nullptr, nullptr) != FALSE;
    g_object_unref(pixbuf);
    // A 2x2 GIF with a 4-colour table and uncompressed LZW data.
    ok &= Write(dir + "/picture/a.gif",
                {'G', 'I', 'F', '8', '9',  'a', 2, 0, 2, 0, 0xF1, 0, 0, 255,  0, 0, 0,    255,  0,    0, 0,
                 255, 255, 255, 255, 0x2C, 0,   0, 0, 0, 2, 0,    2, 0, 0x40, 2, 3, 0x44, 0xA8, 0x15, 0, 0x3B});
    // Version 4, with the sections after the joints that the loader skips.
    MS3DWriteOptions options;
    options.modelComment = "seed";
    Bytes model;
    ok &= WriteMS3D(SeedModel(), &model, nullptr, options) && Write(dir + "/ms3d/v4", model);
    // The shipped packs, and one small enough to mutate quickly.
    for (const char* name : {"pellmore.works", "b.oak"}) {
        Bytes pack;
        ok &= ReadWholeFile(std::string(LARKSPUR_RESOURCES_DIR) + "/" + name, &pack) &&
              Write(dir + "/pack/" + name, pack);
    }
    Bytes coat = TgaHeader(2, 24);
    coat.resize(coat.size() + 6 * 3, 0x40);
    PackWriter small;
    small.AddLump(model);
    small.AddLump(coat, 1, 0);
    ok &= Write(dir + "/pack/small", small.Build());

    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}

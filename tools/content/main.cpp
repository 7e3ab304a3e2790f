// larkspur-content: writes the packs the program ships, generated from code.
//
//   larkspur-content OUTDIR            writes OUTDIR/pellmore.works
//   larkspur-content --preview OUTDIR  also writes every picture as a PNG
//
// The output is the same, byte for byte, on every run.
#include "Coats.h"
#include "SceneArt.h"
#include "ScenePack.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <string>

namespace {

bool SavePng(const Canvas& c, const std::string& path)
{
    std::vector<unsigned char> rgba = c.Rgba8();
    GdkPixbuf* p = gdk_pixbuf_new_from_data(rgba.data(), GDK_COLORSPACE_RGB, TRUE, 8, c.width(), c.height(),
                                            c.width() * 4, nullptr, nullptr);
    const gboolean ok = gdk_pixbuf_save(p, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(p);
    return ok;
}

void WritePreviews(const std::string& dir)
{
    SavePng(MakeBadge(), dir + "/badge.png");
    SavePng(MakeCaption("A HERD ROAMS YOUR DESKTOP"), dir + "/caption4.png");
    SavePng(MakeCaption("MOVE THE MOUSE TO WAKE UP"), dir + "/caption5.png");
    SavePng(MakeFootprint(), dir + "/footprint.png");
    SavePng(MakeSpark(), dir + "/spark.png");
    int k = 0;
    for (const CoatStyle& s : CoatStyles())
        SavePng(PaintCoat(s), dir + "/coat" + std::to_string(k++) + ".png");
}

} // namespace

int main(int argc, char** argv)
{
    bool preview = false;
    std::string out;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--preview")
            preview = true;
        else if (out.empty() && !a.empty() && a[0] != '-')
            out = a;
        else {
            std::fprintf(stderr, "usage: larkspur-content [--preview] OUTDIR\n");
            return 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: larkspur-content [--preview] OUTDIR\n");
        return 2;
    }
    std::string error;
    if (!BuildScenePack().Write(out + "/pellmore.works", &error)) {
        std::fprintf(stderr, "larkspur-content: %s\n", error.c_str());
        return 1;
    }
    if (preview)
        WritePreviews(out);
    return 0;
}

// larkspur-content: writes the packs the program ships, generated from code.
//
//   larkspur-content OUTDIR            writes OUTDIR/pellmore.works, OUTDIR/b.oak and
//                                      OUTDIR/meadow.jpg (the ground without a desktop picture)
//   larkspur-content --preview OUTDIR  also writes every picture as a PNG
//
// The output is the same, byte for byte, on every run.
#include "Coats.h"
#include "CreaturePack.h"
#include "ImageFiles.h"
#include "SceneArt.h"
#include "ScenePack.h"
#include "resources/AtomicFile.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

// The ground picture's side: as sharp as the default picture detail shows.
constexpr int kMeadowSide = 1024;

bool WriteGroundPicture(const std::string& path, std::string* error)
{
    const std::vector<unsigned char> jpeg = EncodeJpeg(MakeMeadow(kMeadowSide), 88);
    if (!WriteFileAtomically(path, jpeg)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

void WritePreviews(const std::string& dir)
{
    SavePng(MakeBadge(), dir + "/badge.png");
    SavePng(MakeCaption("A HERD ROAMS YOUR DESKTOP"), dir + "/caption4.png");
    SavePng(MakeCaption("MOVE THE MOUSE TO WAKE UP"), dir + "/caption5.png");
    SavePng(MakeFootprint(), dir + "/footprint.png");
    SavePng(MakeSpark(), dir + "/spark.png");
    SavePng(MakeMeadow(kMeadowSide), dir + "/meadow.png");
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
    try {
        if (!BuildScenePack().Write(out + "/pellmore.works", &error) ||
            !BuildCreaturePack().Write(out + "/b.oak", &error) || !WriteGroundPicture(out + "/meadow.jpg", &error)) {
            std::fprintf(stderr, "larkspur-content: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "larkspur-content: %s\n", e.what());
        return 1;
    }
    if (preview)
        WritePreviews(out);
    return 0;
}

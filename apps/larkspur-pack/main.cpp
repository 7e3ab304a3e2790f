// larkspur-pack: lists, extracts and builds resource packs.
//
//   larkspur-pack list PACK
//   larkspur-pack extract PACK N OUT
//   larkspur-pack build [--force] OUT FILE:TYPE:OPTION ...
//   larkspur-pack decode IN OUT.png
//   larkspur-pack model-info FILE
//   larkspur-pack check PACK
//   larkspur-pack contact-sheet PACK OUT.png [COATS.png [PORTRAITS.png]]
//
// decode shows a picture as the program will: IN is a picture file, a TGA
// file (named *.tga) or PACK:N for a lump; it is decoded with the program's own
// decoders and written as a PNG, top row first as it shows on screen.
//
// model-info prints a creature model's version, counts, animation and joint
// tree, and whether the creatures can be made of it; FILE is a creature pack
// (the model is lump 0) or a bare .ms3d file.
//
// check loads a pack as the screensaver does: a creature pack (lump 0 is
// data) through the herd's own setup, any other as the scene pack, and says
// why the program would refuse it. contact-sheet refuses what the herd
// refuses, with the same reasons.
//
// build takes only the lump types and texture options the program reads, at
// least one lump, and replaces an existing OUT only with --force; it warns
// about a picture lump whose bytes do not decode as its type (the pack
// is still written: the program shows such a lump as an empty texture).
//
// Usage errors exit with status 2, a pack or picture that cannot be read with
// status 1.
#include "ContactSheet.h"
#include "creatures/DogControl.h"
#include "creatures/DogTables.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"
#include "platform/headless/HeadlessGL.h"
#include "resources/AtomicFile.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"
#include "resources/PngWriter.h"
#include "resources/ResFile.h"
#include "resources/TGALoader.h"
#include "resources/Texture.h"
#include "scene/SSMain.h"
#include "view/Settings.h"

#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: larkspur-pack list PACK\n"
    "       larkspur-pack extract PACK N OUT\n"
    "       larkspur-pack build [--force] OUT FILE:TYPE:OPTION ...\n"
    "           TYPE: 0 data (the creature model), 1 TGA picture, 3 JPEG picture\n"
    "           OPTION: 0 opaque, 1 colour key, 2 alpha from brightness\n"
    "       larkspur-pack decode IN OUT.png   (IN: picture, TGA file or PACK:N)\n"
    "       larkspur-pack model-info FILE     (FILE: creature pack or .ms3d model)\n"
    "       larkspur-pack check PACK          (a creature or scene pack, as the program loads it)\n"
    "       larkspur-pack contact-sheet PACK OUT.png [COATS.png [PORTRAITS.png]]\n"
    "       larkspur-pack --version\n";

int Usage(const char* why = nullptr)
{
    if (why)
        std::fprintf(stderr, "larkspur-pack: %s\n", why);
    std::fputs(kUsage, stderr);
    return 2;
}

int Failure(const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "larkspur-pack: %s: %s\n", what.c_str(), why.c_str());
    return 1;
}

// Parses a whole decimal number into [0, limit]; false on anything else.
bool ParseNumber(const std::string& text, unsigned long limit, unsigned long* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > limit)
        return false;
    *value = v;
    return true;
}

// A lump number: a whole number from 0. On failure *why says what is wrong.
bool ParseLumpNumber(const std::string& text, unsigned long* lump, std::string* why)
{
    if (ParseNumber(text, 0x7fffffff, lump))
        return true;
    const bool whole =
        text.size() > 1 && text[0] == '-' && text.find_first_not_of("0123456789", 1) == std::string::npos;
    if (whole || (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos))
        *why = "the lump number " + text + " is out of range: lumps are numbered from 0";
    else
        *why = "the lump number must be a whole number, not '" + text + "'";
    return false;
}

int List(const char* path)
{
    RESFILE pack;
    if (!pack.Open(path))
        return Failure(path, pack.failure);
    for (uint32_t i = 0; i < pack.header.numLumps; i++) {
        const RESLUMP& l = pack.lumps[i];
        std::printf("%u offset=%u size=%u type=%u option=%u\n", i, l.offset, l.size, l.type, l.option);
    }
    return 0;
}

// "no such lump" with the numbers the pack does hold.
std::string NoSuchLump(const RESFILE& pack)
{
    const uint32_t n = pack.header.numLumps;
    return n == 0 ? "no such lump: the pack holds none"
                  : "no such lump: the pack holds " + std::to_string(n) + " (0 to " + std::to_string(n - 1) + ")";
}

int Extract(const char* path, const std::string& lumpText, const std::string& out)
{
    unsigned long lump;
    std::string why;
    if (!ParseLumpNumber(lumpText, &lump, &why))
        return Usage(why.c_str());
    RESFILE pack;
    if (!pack.Open(path))
        return Failure(path, pack.failure);
    if (lump >= pack.header.numLumps)
        return Failure(std::string(path) + " lump " + lumpText, NoSuchLump(pack));
    unsigned char* raw = nullptr;
    if (!pack.LoadData(int(lump), &raw))
        return Failure(std::string(path) + " lump " + lumpText, pack.failure);
    const std::unique_ptr<unsigned char[]> data(raw);
    const std::vector<unsigned char> bytes(data.get(), data.get() + pack.lumps[lump].size);
    if (!WriteFileAtomically(out, bytes, &why))
        return Failure(out, why);
    return 0;
}

// Lump types the program reads; any other leaves its texture empty.
bool KnownType(unsigned long type)
{
    return type == 0 || type == LUMP_TGA || type == LUMP_JPEG;
}

// Why a picture lump's bytes will not show as its type; empty when they will.
std::string PictureMismatch(const std::vector<unsigned char>& bytes, unsigned long type)
{
    if (type == LUMP_TGA) {
        const std::string text(bytes.begin(), bytes.end());
        std::istringstream stream(text);
        Texture texture;
        // The decoder's own alert would say the same thing less plainly.
        const AlertMute mute(true);
        return LoadTGA2(&texture, &stream, bytes.size()) ? ""
                                                         : "is not a TGA the program reads (types 2 and 10, "
                                                           "24 or 32 bits a pixel)";
    }
    if (type == LUMP_JPEG) {
        Picture picture;
        std::string why;
        if (!DecodePictureBytes(bytes.data(), bytes.size(), &picture, &why))
            return "does not decode as a picture (" + why + ")";
        if (picture.format() != "jpeg")
            return "is a " + picture.format() + " picture, not JPEG";
    }
    return "";
}

int Build(const std::string& out, const std::vector<std::string>& items, bool force)
{
    // An empty pack would only fail later, in the program.
    if (items.empty())
        return Usage("build needs at least one lump FILE:TYPE:OPTION");
    struct stat existing;
    if (!force && lstat(out.c_str(), &existing) == 0)
        return Failure(out, "already exists; give --force to replace it");
    PackWriter writer;
    size_t lumpNumber = 0;
    for (const std::string& item : items) {
        // The file name may itself hold colons, so split from the right.
        const size_t second = item.rfind(':');
        const size_t first =
            second == std::string::npos || second == 0 ? std::string::npos : item.rfind(':', second - 1);
        unsigned long type, option;
        if (first == std::string::npos || first == 0 ||
            !ParseNumber(item.substr(first + 1, second - first - 1), UINT32_MAX, &type) ||
            !ParseNumber(item.substr(second + 1), UINT32_MAX, &option))
            return Usage(("bad lump '" + item + "', expected FILE:TYPE:OPTION").c_str());
        if (!KnownType(type))
            return Usage(("lump '" + item + "': the program reads no lump type " + std::to_string(type)).c_str());
        if (option > TEXTURE_ALPHA_FROM_BRIGHTNESS)
            return Usage(
                ("lump '" + item + "': the program knows no texture option " + std::to_string(option)).c_str());
        const std::string file = item.substr(0, first);
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(file, &bytes))
            return Failure(file, "cannot read file");
        const std::string mismatch = PictureMismatch(bytes, type);
        if (!mismatch.empty())
            std::fprintf(stderr, "larkspur-pack: warning: %s (lump %zu, type %lu) %s\n", file.c_str(), lumpNumber, type,
                         mismatch.c_str());
        writer.AddLump(std::move(bytes), uint32_t(type), uint32_t(option));
        lumpNumber++;
    }
    std::string error;
    if (!writer.Write(out, &error))
        return Failure(out, error);
    return 0;
}

// Reads the model of a pack's lump 0, or of a whole file that is not a pack.
bool ReadModel(const char* path, MS3D* model, std::string* why)
{
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    if (!file.read(magic, sizeof magic) && file.gcount() == 0) {
        *why = "cannot read file";
        return false;
    }
    if (std::memcmp(magic, "PLMF", 4) == 0) {
        RESFILE pack;
        if (!pack.Open(path) || !pack.SeekLump(0)) {
            *why = pack.failure;
            return false;
        }
        if (!model->LoadFromFStream(&pack.stream, pack.lumps[0].size)) {
            *why = std::string("lump 0: ") + model->failure;
            return false;
        }
        return true;
    }
    file.clear();
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    file.seekg(0);
    if (length < 0 || !model->LoadFromFStream(&file, uint64_t(length))) {
        *why = model->failure;
        return false;
    }
    return true;
}

// A joint's name within its 32 bytes, terminated or not.
std::string JointName(const char (&name)[MS3D_NAME_BYTES])
{
    return std::string(name, strnlen(name, sizeof name));
}

// Joints under their parents, depth first in index order. Joints that name
// themselves or no joint are roots; what hangs from a parent cycle is listed
// at the end, from the first joint of the cycle.
void PrintJointTree(const MS3D& model)
{
    const size_t n = model.joints.size();
    const int count = int(n);
    std::vector<int> parent(n, -1);
    std::vector<std::vector<int>> children(n);
    std::vector<int> roots;
    for (int i = 0; i < count; i++) {
        const MS3D_JOINT& j = model.joints[size_t(i)];
        parent[size_t(i)] = j.parentName[0] ? model.FindJoint(j.parentName) : -1;
        if (parent[size_t(i)] < 0 || parent[size_t(i)] == i)
            roots.push_back(i);
        else
            children[size_t(parent[size_t(i)])].push_back(i);
    }
    std::vector<bool> shown(n, false);
    auto line = [&](int i, int depth, const char* note) {
        const MS3D_JOINT& j = model.joints[size_t(i)];
        // Deep chains stay readable: indentation stops growing at 16 levels.
        std::printf("%*s%d %s  parent %d  rotation keys %u  translation keys %u%s\n", 2 * std::min(depth, 16) + 2, "",
                    i, JointName(j.name).c_str(), parent[size_t(i)], unsigned(j.numRotationKeys),
                    unsigned(j.numTranslationKeys), note);
        shown[size_t(i)] = true;
    };
    // Depth first with an explicit stack, since a chain may be 65535 joints
    // deep; a joint already shown is not followed again.
    auto walk = [&](int start, const char* note) {
        std::vector<std::pair<int, int>> stack = {{start, 0}};
        while (!stack.empty()) {
            const auto [i, depth] = stack.back();
            stack.pop_back();
            if (shown[size_t(i)])
                continue;
            line(i, depth, i == start ? note : "");
            for (auto c = children[size_t(i)].rbegin(); c != children[size_t(i)].rend(); ++c)
                stack.push_back({*c, depth + 1});
        }
    };
    for (int root : roots)
        walk(root, "");
    for (int i = 0; i < count; i++)
        walk(i, "  (in a parent cycle)");
}

int ModelInfo(const char* path)
{
    MS3D model;
    std::string why;
    if (!ReadModel(path, &model, &why))
        return Failure(path, why);
    size_t rotationKeys = 0, translationKeys = 0;
    for (const MS3D_JOINT& j : model.joints) {
        rotationKeys += j.rotationKeys.size();
        translationKeys += j.translationKeys.size();
    }
    std::printf("version %d\n", model.version);
    std::printf("vertices %u\ntriangles %u\ngroups %u\nmaterials %u\njoints %u\n", unsigned(model.numVertices),
                unsigned(model.numTriangles), unsigned(model.numGroups), unsigned(model.numMaterials),
                unsigned(model.numJoints));
    std::printf("keys %zu rotation, %zu translation\n", rotationKeys, translationKeys);
    std::printf("frame rate %g\ntotal frames %d\ntotal time %g ms\n", double(model.animationFPS),
                int(model.totalFrames), double(model.totalTime));
    if (!model.joints.empty()) {
        std::printf("joint tree:\n");
        PrintJointTree(model);
    }
    const std::string problem = CreatureModelProblem(model);
    std::printf("as the creature: %s\n", problem.empty() ? "usable" : ("refused: " + problem).c_str());
    return 0;
}

// The settings the screensaver starts with.
SETTINGS DefaultSettings()
{
    SETTINGS settings;
    settings.NUM_DOGS = kDefaultNumDogs;
    settings.NUM_FOOTPRINTS = kDefaultNumFootprints;
    settings.LDOGSIZE = kDefaultDogSize;
    settings.dogSize = float(kDefaultDogSize) / 100.0f;
    return settings;
}

int Check(const char* path)
{
    RESFILE pack;
    if (!pack.Open(path))
        return Failure(path, pack.failure);
    const bool creature = pack.header.numLumps > 0 && pack.lumps[0].type == 0;
    pack.Close();
    // Both kinds upload their pictures; the context outlives them.
    HeadlessGL gl;
    std::string why;
    if (!gl.Create(16, 16, &why))
        return Failure("check", "no headless OpenGL context: " + why);
    if (creature) {
        SETTINGS settings = DefaultSettings();
        DOGCONTROL herd;
        if (!herd.SetupFromPack(&settings, path))
            return Failure(path, herd.failure);
        const ANIMATIONTEMPLATE& animation = *herd.templates[0].animation;
        std::printf("%s: a creature pack the program takes: %d joints, %d frames at %g a second, %d coats\n", path,
                    int(animation.numJoints), int(animation.totalFrames), double(animation.animationFPS),
                    int(herd.numSkins));
        return 0;
    }
    Texture* raw = nullptr;
    int count = 0;
    const bool loaded = LoadScenePictures(path, &raw, &count, &why);
    const std::unique_ptr<Texture[]> pictures(raw);
    if (!loaded)
        return Failure(path, why);
    std::printf("%s: a scene pack the program takes: %d pictures\n", path, count);
    return 0;
}

// Pixels to write out: rows from the top, `stride` bytes apart.
struct Decoded {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<unsigned char> pixels;
};

// A decoded TGA's rows are in file order, which is bottom-up on screen.
void FromTga(Texture* texture, Decoded* decoded)
{
    decoded->width = int(texture->width);
    decoded->height = int(texture->height);
    decoded->channels = texture->type == GL_RGBA ? 4 : 3;
    const size_t rowBytes = size_t(decoded->width) * decoded->channels;
    decoded->pixels.resize(rowBytes * decoded->height);
    for (int y = 0; y < decoded->height; y++)
        std::memcpy(&decoded->pixels[size_t(y) * rowBytes],
                    texture->imageData + size_t(decoded->height - 1 - y) * rowBytes, rowBytes);
}

void FromPicture(const Picture& picture, Decoded* decoded)
{
    decoded->width = picture.width();
    decoded->height = picture.height();
    decoded->channels = picture.channels();
    const size_t rowBytes = size_t(decoded->width) * decoded->channels;
    decoded->pixels.resize(rowBytes * decoded->height);
    for (int y = 0; y < decoded->height; y++)
        std::memcpy(&decoded->pixels[size_t(y) * rowBytes], picture.Row(y), rowBytes);
}

bool EndsWithTga(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".tga";
}

// Decodes lump N of a pack: TGA lumps with the TGA decoder, others with the
// picture decoder.
int DecodeLump(const std::string& packPath, const std::string& lumpText, Decoded* decoded)
{
    unsigned long lump;
    std::string why;
    if (!ParseLumpNumber(lumpText, &lump, &why))
        return Usage(why.c_str());
    RESFILE pack;
    if (!pack.Open(packPath.c_str()))
        return Failure(packPath, pack.failure);
    const std::string what = packPath + " lump " + lumpText;
    if (lump >= pack.header.numLumps)
        return Failure(what, NoSuchLump(pack));
    const uint32_t type = pack.lumps[lump].type;
    if (type != LUMP_TGA && type != LUMP_JPEG)
        return Failure(what, "not a picture lump (type " + std::to_string(type) +
                                 "; pictures are types 1, TGA, and 3, JPEG)");
    if (type == LUMP_TGA) {
        Texture texture;
        if (!pack.SeekLump(int(lump)))
            return Failure(what, pack.failure);
        if (!LoadTGA2(&texture, &pack.stream, pack.lumps[lump].size))
            return Failure(what, "not a TGA the program accepts");
        FromTga(&texture, decoded);
        return 0;
    }
    unsigned char* raw = nullptr;
    if (!pack.LoadData(int(lump), &raw))
        return Failure(what, pack.failure);
    const std::unique_ptr<unsigned char[]> bytes(raw);
    Picture picture;
    if (!DecodePictureBytes(bytes.get(), pack.lumps[lump].size, &picture, &why))
        return Failure(what, why);
    FromPicture(picture, decoded);
    return 0;
}

int DecodeFile(const std::string& path, Decoded* decoded)
{
    if (EndsWithTga(path)) {
        std::ifstream file(path, std::ios::binary);
        Texture texture;
        if (!LoadTGA2(&texture, &file))
            return Failure(path, "not a TGA the program accepts");
        FromTga(&texture, decoded);
        return 0;
    }
    Picture picture;
    std::string why;
    if (!DecodePictureFile(path.c_str(), &picture, &why))
        return Failure(path, why);
    FromPicture(picture, decoded);
    return 0;
}

bool WritePng(const Decoded& decoded, const std::string& out, std::string* error)
{
    return WritePngFile(out, decoded.pixels.data(), decoded.width, decoded.height, decoded.channels, error);
}

int Decode(const std::string& in, const std::string& out)
{
    Decoded decoded;
    // IN names a file when one exists by that name, else PACK:N.
    std::ifstream probe(in);
    const size_t colon = in.rfind(':');
    int status;
    if (!probe.is_open() && colon != std::string::npos && colon > 0)
        status = DecodeLump(in.substr(0, colon), in.substr(colon + 1), &decoded);
    else
        status = DecodeFile(in, &decoded);
    if (status != 0)
        return status;
    std::string error;
    if (!WritePng(decoded, out, &error))
        return Failure(out, error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version" && args.size() == 1) {
        std::puts("larkspur-pack " LARKSPUR_VERSION);
        return 0;
    }
    if (command == "list" && args.size() == 2)
        return List(args[1].c_str());
    if (command == "extract" && args.size() == 4)
        return Extract(args[1].c_str(), args[2], args[3]);
    if (command == "decode" && args.size() == 3)
        return Decode(args[1], args[2]);
    if (command == "contact-sheet" && args.size() >= 3 && args.size() <= 5) {
        std::string error;
        if (!WriteContactSheets(args[1], args[2], args.size() >= 4 ? args[3] : "", &error,
                                args.size() == 5 ? args[4] : ""))
            return Failure("contact-sheet", error);
        return 0;
    }
    if (command == "model-info" && args.size() == 2)
        return ModelInfo(args[1].c_str());
    if (command == "check" && args.size() == 2)
        return Check(args[1].c_str());
    if (command == "build") {
        // --force may stand anywhere after build: no lump is named so.
        std::vector<std::string> rest(args.begin() + 1, args.end());
        const auto force = std::remove(rest.begin(), rest.end(), "--force");
        const bool forced = force != rest.end();
        rest.erase(force, rest.end());
        if (!rest.empty())
            return Build(rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()), forced);
    }
    return Usage(("unknown command or wrong arguments: " + command).c_str());
}

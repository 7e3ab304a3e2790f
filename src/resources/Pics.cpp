// Pics: folder listing, random choice and the upload of background pictures.
#include "resources/Pics.h"

#include "resources/PictureDecoder.h"

#include <GL/gl.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The extensions of folder pictures. The first three are the ones folders
// were always chosen from, in the order the choice numbers them.
const char* const kPictureExtensions[] = {".jpg", ".gif", ".png", ".jpeg", ".webp"};
constexpr size_t kExtensionCount = sizeof kPictureExtensions / sizeof kPictureExtensions[0];

// Closes the folder on every way out.
class Folder {
public:
    explicit Folder(const char* path) : dir_(path ? opendir(path) : nullptr), error_(errno) {}
    ~Folder()
    {
        if (dir_)
            closedir(dir_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    bool open() const { return dir_ != nullptr; }
    // Why the folder did not open, in words that sit inside a sentence.
    std::string Failure() const
    {
        std::string text = error_ ? std::strerror(error_) : "it cannot be opened";
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
        return text;
    }
    const dirent* Next() { return readdir(dir_); }

private:
    DIR* dir_;
    int error_;
};

bool Fail(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

bool EndsWithExtension(const char* name, const char* extension)
{
    const size_t nameLength = std::strlen(name);
    const size_t extensionLength = std::strlen(extension);
    if (nameLength <= extensionLength)
        return false;
    std::string lower(name + nameLength - extensionLength);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == extension;
}

// A folder and a name in it. A folder path of fewer than 3 characters gets no
// "/", as it always has.
std::string JoinPath(const std::string& folder, const std::string& name)
{
    std::string path = folder;
    if (path.size() >= 3 && path.back() != '/')
        path += '/';
    return path + name;
}

// Subfolders worth looking into: not the folder itself, its parent, or a
// hidden one (where thumbnails and the like are kept).
bool IsSubfolder(const std::string& folder, const dirent* entry)
{
    if (entry->d_name[0] == '.')
        return false;
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info;
    return stat(JoinPath(folder, entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder's entries ending in each of the extensions, in listing order, and
// when asked for, its subfolders.
struct Listing {
    std::vector<std::vector<std::string>> byExtension;
    std::vector<std::string> subfolders;
};

Listing ListFolder(const char* folder, const char* const* extensions, size_t count, bool withSubfolders)
{
    Listing listing;
    listing.byExtension.resize(count);
    Folder dir(folder);
    if (!dir.open())
        return listing;
    while (const dirent* entry = dir.Next()) {
        for (size_t e = 0; e < count; e++)
            if (EndsWithExtension(entry->d_name, extensions[e]))
                listing.byExtension[e].push_back(entry->d_name);
        if (withSubfolders && IsSubfolder(folder, entry))
            listing.subfolders.push_back(entry->d_name);
    }
    return listing;
}

// Copies a name into a kPicPathBytes buffer; entry names are far shorter,
// but never trust it.
bool CopyName(const std::string& name, char* out)
{
    if (!out || name.size() >= kPicPathBytes)
        return false;
    std::memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

// Loads one picture of the folder; on failure says why in the words of the
// folder's sentence.
bool LoadFolderPicture(const char* folder, const std::string& name, Texture* texture, int resolution, std::string* why)
{
    const std::string path = JoinPath(folder, name);
    // The combined path must fit the same buffers as every other path here.
    if (path.size() + 1 > kPicPathBytes)
        return Fail(why, "the path of its picture " + name + " is too long");
    std::string pictureWhy;
    if (loadPicFile(path.c_str(), texture, resolution, &pictureWhy))
        return true;
    return Fail(why, "its picture " + name + " cannot be used (" + pictureWhy + ")");
}

} // namespace

unsigned BackgroundTextureSide(int pictureSide, int resolution, int maxSide)
{
    if (resolution == 0)
        return 512;
    if (resolution == 1)
        return 1024;
    const double log2 = std::log(double(std::max(pictureSide, 1))) / 0.6931471805599453;
    unsigned side = 1u << unsigned(std::floor(log2 + 0.5));
    side = std::min(side, unsigned(kLargestBackgroundSide));
    if (maxSide > 0 && side > unsigned(maxSide))
        side = unsigned(maxSide);
    return side;
}

bool loadPicFile(const char* path, Texture* texture, int resolution, std::string* why)
{
    if (!path || !texture)
        return Fail(why, "no picture given");
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    const PictureSideRule side = [&](int pictureSide) {
        return int(BackgroundTextureSide(pictureSide, resolution, maxSide));
    };
    ResampledPicture picture;
    if (!DecodePictureFileResampled(path, side, &picture, why))
        return false;

    // The ground is opaque even where the picture was not.
    Texture built;
    built.imageData = picture.TakePixels();
    built.type = GL_RGB;
    built.width = uint32_t(picture.width());
    built.height = uint32_t(picture.height());
    if (!BuildTextureNoTran(&built))
        return Fail(why, "OpenGL cannot make a texture of it");

    // Only a finished texture replaces what the record held.
    std::free(texture->imageData);
    texture->imageData = nullptr;
    if (texture->texID != 0) {
        const GLuint old = texture->texID;
        glDeleteTextures(1, &old);
    }
    texture->texID = built.texID;
    built.texID = 0;
    texture->type = built.type;
    texture->width = uint32_t(picture.pictureWidth());
    texture->height = uint32_t(picture.pictureHeight());
    return true;
}

int CountFiles(const char* folder, const char* extension)
{
    if (!extension)
        return 0;
    return int(ListFolder(folder, &extension, 1, false).byExtension[0].size());
}

bool FindNthFile(const char* folder, char* out, const char* extension, int n)
{
    if (!extension || n < 0)
        return false;
    const std::vector<std::string> names = ListFolder(folder, &extension, 1, false).byExtension[0];
    return size_t(n) < names.size() && CopyName(names[size_t(n)], out);
}

std::vector<std::string> ListPictures(const char* folder)
{
    std::vector<std::string> pictures;
    const Listing top = ListFolder(folder, kPictureExtensions, kExtensionCount, true);
    for (const std::vector<std::string>& names : top.byExtension)
        pictures.insert(pictures.end(), names.begin(), names.end());
    for (const std::string& sub : top.subfolders) {
        const Listing inner = ListFolder(JoinPath(folder, sub).c_str(), kPictureExtensions, kExtensionCount, false);
        for (const std::vector<std::string>& names : inner.byExtension)
            for (const std::string& name : names)
                pictures.push_back(sub + "/" + name);
    }
    return pictures;
}

bool ChooseRandomImageFile(const char* folder, char* out)
{
    const std::vector<std::string> pictures = ListPictures(folder);
    if (pictures.empty())
        return false;
    return CopyName(pictures[size_t(std::rand() % int(pictures.size()))], out);
}

bool LoadPicture(const char* folder, Texture* texture, int resolution, std::string* why)
{
    if (!folder)
        return Fail(why, "no folder given");
    std::vector<std::string> pictures = ListPictures(folder);
    if (pictures.empty()) {
        const Folder dir(folder);
        return Fail(why, dir.open() ? "it holds no .jpg, .jpeg, .png, .gif or .webp picture" : dir.Failure());
    }
    // The first choice draws from rand() as ChooseRandomImageFile does; each
    // later one draws among the pictures not tried yet.
    std::string firstWhy;
    int others = 0;
    for (;;) {
        const size_t pick = size_t(std::rand() % int(pictures.size()));
        std::string pictureWhy;
        if (LoadFolderPicture(folder, pictures[pick], texture, resolution, &pictureWhy))
            return true;
        if (firstWhy.empty())
            firstWhy = pictureWhy;
        else
            others++;
        pictures[pick] = pictures.back();
        pictures.pop_back();
        if (pictures.empty() || others == kMorePicturesTried)
            break;
    }
    if (others > 0)
        firstWhy += ", nor can the " + std::to_string(others) + " other" + (others == 1 ? "" : "s") + " tried";
    return Fail(why, firstWhy);
}

bool LoadFolderBackground(const char* folder, const char* const* fallbacks, Texture* texture, int resolution,
                          std::string* why, std::string* shown)
{
    if (why)
        why->clear();
    if (shown)
        shown->clear();
    if (LoadPicture(folder, texture, resolution, why))
        return true;
    for (; fallbacks && *fallbacks; fallbacks++)
        if (loadPicFile(*fallbacks, texture, resolution)) {
            if (shown)
                *shown = *fallbacks;
            return true;
        }
    return false;
}

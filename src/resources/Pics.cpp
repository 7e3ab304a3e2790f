// Pics: folder listing, random choice and resampling of background pictures.
#include "resources/Pics.h"

#include "resources/PictureDecoder.h"

#include <GL/gl.h>
#include <dirent.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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
    const char* Next()
    {
        const dirent* entry = readdir(dir_);
        return entry ? entry->d_name : nullptr;
    }

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

// The texture side for a picture side under a resolution setting.
unsigned TextureSide(int pictureSide, int resolution, int maxSide)
{
    if (resolution == 0)
        return 512;
    if (resolution == 1)
        return 1024;
    const double log2 = std::log(double(pictureSide)) / 0.6931471805599453;
    unsigned side = 1u << unsigned(std::floor(log2 + 0.5));
    if (maxSide > 0 && side > unsigned(maxSide))
        side = unsigned(maxSide);
    return side;
}

} // namespace

bool loadPicFile(const char* path, Texture* texture, int resolution, std::string* why)
{
    if (!path || !texture)
        return Fail(why, "no picture given");
    Picture picture;
    if (!DecodePictureFile(path, &picture, why))
        return false;

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    const unsigned width = TextureSide(picture.width(), resolution, maxSide);
    const unsigned height = TextureSide(picture.height(), resolution, maxSide);
    const size_t channels = size_t(picture.channels());
    auto* pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * height * channels));
    if (!pixels)
        return Fail(why, "out of memory");

    // Nearest neighbour with truncation, in single precision. The clamps only
    // guard against rounding landing one past the last source pixel.
    const float scaleX = float(picture.width()) / float(width);
    const float scaleY = float(picture.height()) / float(height);
    for (unsigned y = 0; y < height; y++) {
        int sy = int(float(y) * scaleY);
        if (sy >= picture.height())
            sy = picture.height() - 1;
        const unsigned char* sourceRow = picture.Row(sy);
        // Pictures run top-down and OpenGL textures bottom-up.
        unsigned char* out = pixels + size_t(height - 1 - y) * width * channels;
        for (unsigned x = 0; x < width; x++, out += channels) {
            int sx = int(float(x) * scaleX);
            if (sx >= picture.width())
                sx = picture.width() - 1;
            const unsigned char* in = sourceRow + size_t(sx) * channels;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            // The ground is opaque even where the picture was not.
            if (channels == 4)
                out[3] = 255;
        }
    }

    Texture built;
    built.imageData = pixels;
    built.type = channels == 4 ? GL_RGBA : GL_RGB;
    built.width = width;
    built.height = height;
    if (!BuildTexture(&built, TEXTURE_OPAQUE))
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
    texture->width = uint32_t(picture.width());
    texture->height = uint32_t(picture.height());
    return true;
}

int CountFiles(const char* folder, const char* extension)
{
    if (!extension)
        return 0;
    Folder dir(folder);
    if (!dir.open())
        return 0;
    int count = 0;
    while (const char* name = dir.Next())
        if (EndsWithExtension(name, extension))
            count++;
    return count;
}

bool FindNthFile(const char* folder, char* out, const char* extension, int n)
{
    const int count = CountFiles(folder, extension);
    if (!out || count < 1 || count < n || n < 0)
        return false;
    Folder dir(folder);
    if (!dir.open())
        return false;
    int match = 0;
    while (const char* name = dir.Next()) {
        if (!EndsWithExtension(name, extension))
            continue;
        if (match == n) {
            // Entry names are far shorter than the buffer, but never trust it.
            if (std::strlen(name) >= kPicPathBytes)
                return false;
            std::strcpy(out, name);
            return true;
        }
        match++;
    }
    return false;
}

bool ChooseRandomImageFile(const char* folder, char* out)
{
    const int jpgs = CountFiles(folder, ".jpg");
    const int gifs = CountFiles(folder, ".gif");
    const int pngs = CountFiles(folder, ".png");
    const int total = jpgs + gifs + pngs;
    if (total < 1)
        return false;
    int r = std::rand() % total;
    if (r < jpgs)
        return FindNthFile(folder, out, ".jpg", r);
    r -= jpgs;
    if (r < gifs)
        return FindNthFile(folder, out, ".gif", r);
    r -= gifs;
    if (r < pngs)
        return FindNthFile(folder, out, ".png", r);
    return false;
}

bool LoadPicture(const char* folder, Texture* texture, int resolution, std::string* why)
{
    if (!folder)
        return Fail(why, "no folder given");
    char name[kPicPathBytes];
    if (!ChooseRandomImageFile(folder, name)) {
        const Folder dir(folder);
        return Fail(why, dir.open() ? "it holds no .jpg, .gif or .png picture" : dir.Failure());
    }
    std::string path = folder;
    if (path.size() >= 3 && path.back() != '/')
        path += '/';
    path += name;
    // The combined path must fit the same buffers as every other path here.
    if (path.size() + 1 > kPicPathBytes)
        return Fail(why, "the path of its picture " + std::string(name) + " is too long");
    std::string pictureWhy;
    if (loadPicFile(path.c_str(), texture, resolution, &pictureWhy))
        return true;
    return Fail(why, "its picture " + std::string(name) + " cannot be used (" + pictureWhy + ")");
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

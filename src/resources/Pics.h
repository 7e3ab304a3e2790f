// Pics: background pictures, loaded from a file or chosen at random from a
// folder, resampled to a texture size set by the resolution setting.
//
// Resolution 0 gives 512x512, 1 gives 1024x1024, any other value each side's
// nearest power of two (on a log scale) up to kLargestBackgroundSide, or
// GL_MAX_TEXTURE_SIZE when that is smaller. Pictures are decoded straight to
// that size (see PictureDecoder), so a large picture costs no more memory
// than its texture. After a load the record's width and height are the
// picture's own size, not the texture's. Loading needs a current OpenGL
// context. Folder pictures are the entries whose names end in ".jpg",
// ".jpeg", ".png", ".gif" or ".webp" in any case, in the folder itself and in
// its subfolders one level down (hidden subfolders aside); paths and names
// live in buffers of kPicPathBytes bytes.
#pragma once

#include "resources/Texture.h"

#include <string>
#include <vector>

enum { kPicPathBytes = 1024 };
// A background texture's largest side: beyond it a texture shows no more of
// the ground on any common screen, and costs its square in memory twice over.
enum { kLargestBackgroundSide = 4096 };
// Pictures of a folder tried after a random one that cannot be used.
enum { kMorePicturesTried = 8 };

// The texture side for a picture side under a resolution setting; maxSide is
// OpenGL's largest texture (0 when unknown).
unsigned BackgroundTextureSide(int pictureSide, int resolution, int maxSide);

// Decodes the file, resamples and uploads it; on failure the texture is left
// as it was and *why, when given, says what went wrong.
bool loadPicFile(const char* path, Texture* texture, int resolution, std::string* why = nullptr);
// Loads a random picture of the folder; when it cannot be used, up to
// kMorePicturesTried others in random order. A folder and name that together
// do not fit in kPicPathBytes are refused. On failure *why says what is
// wrong with the folder or with the first picture tried.
bool LoadPicture(const char* folder, Texture* texture, int resolution, std::string* why = nullptr);
// The folder background: a random picture of the folder, else the first of
// the fallback files (a list ending in null) that loads. False, with the
// texture left as it was, when none loads. When the folder gives no picture,
// *why says why and *shown names the fallback that loaded (empty for none);
// both are left empty when the folder's own picture loads.
bool LoadFolderBackground(const char* folder, const char* const* fallbacks, Texture* texture, int resolution,
                          std::string* why = nullptr, std::string* shown = nullptr);
// The folder's pictures, named relative to it, in the order the random
// choice numbers them: its own ".jpg", ".gif" and ".png" entries (so that a
// folder of only those is chosen from as it always was), then its ".jpeg"
// and ".webp" entries, each extension in listing order, then the pictures of
// each subfolder in listing order.
std::vector<std::string> ListPictures(const char* folder);
// Writes a random picture's name (as ListPictures gives it) into out, which
// holds kPicPathBytes bytes. Draws one number from rand().
bool ChooseRandomImageFile(const char* folder, char* out);
// Number of entries whose lower-cased name ends in the extension (given in
// lower case with its dot) and is longer than it.
int CountFiles(const char* folder, const char* extension);
// Writes the name of the n-th such entry, counted from 0 in listing order,
// into out (kPicPathBytes bytes).
bool FindNthFile(const char* folder, char* out, const char* extension, int n);

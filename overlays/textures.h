// The texture table and the asset table that fills it step by step while the
// loader screen runs.
#pragma once
#include "core/gl.h"

#include <string>
#include <vector>

// The show's pictures, as start-up and the loader's asset steps load them;
// 0 means not loaded. Fixed once loaded: a start-up resource, not show state.
struct PictureSet {
  GLuint table[100];        // by picture number
  GLuint post[12];          // random overlay textures of the post passes
  GLuint greetings[16];     // 1..15
  GLuint bonfireCards[7];   // 1..6
  GLuint bonfireTitle, black, title, heartWhite, heartBlack, loaderFrame, endScreen, tembra,
      podserce, white, panel;
};
extern PictureSet pictures;

// Decodes an image with SDL_image and uploads it as a new texture (left
// bound). A file that cannot be decoded, or a PNG or JPEG cut short, ends the
// program with a message naming it (status 1).
GLuint LoadTexture(const char* path);
// Performs the asset-table step of the given number (the loader screen's
// load counter).
void LoadAssetStep(int step);

// Every image file the program loads: the two start-up images (panel, loader
// image) and the asset table's files, relative to the run directory.
std::vector<std::string> AssetImageFiles();
// Checks that every image file exists under the given directory as a
// readable regular file and that no PNG or JPEG among them is cut short;
// reports all missing ones in one message and each unreadable or damaged one
// in its own on standard error, and returns false if any is.
bool CheckAssetImages(const char* directory = ".");

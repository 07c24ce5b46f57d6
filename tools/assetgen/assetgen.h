// The asset pipeline: every file the show reads beside its source assets is
// generated here from code, deterministically (same bytes on every run).
// One module per kind of asset; each writes under the run directory.
#pragma once
#include <string>

namespace assetgen {
// Each returns 0 on success, or prints what failed and returns non-zero.
// outDir is the run directory (it gets gfx/, data/, Objects/, the music).
// workDir is where by-products go (contact sheet, beat grid).
int GenerateImages(const std::string& outDir, const std::string& workDir);
int GeneratePpms(const std::string& outDir, const std::string& workDir);
int GenerateMeshes(const std::string& outDir, const std::string& workDir);
int GenerateMusic(const std::string& outDir, const std::string& workDir);
}  // namespace assetgen

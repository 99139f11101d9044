#pragma once
// Names and folders the particle editor uses; nothing here is read from a settings file.

namespace editor_settings {

inline constexpr const char* kTitle = "Vendrake Particle Editor";
inline constexpr const char* kVersion = "1.00f";
inline constexpr const char* kReleaseStage = "Final";
inline constexpr const char* kIcon = "ico\\KX.ico";
inline constexpr const char* kLogFile = "kxp_log.txt";
// The shipped font stands in for the narrower one the editor's layout was made for; at 12
// points its labels fit the same boxes.
inline constexpr const char* kFont = "DejaVuSans.ttf";
inline constexpr int kFontSize = 12;
inline constexpr const char* kGraphicsFolder = "gfx\\";
inline constexpr const char* kFontFolder = "fnt\\";
inline constexpr const char* kAnimationFolder = "ani\\";
inline constexpr const char* kSkinFolder = "gfx\\partEd\\";

inline constexpr int kWindowWidth = 1280;
inline constexpr int kWindowHeight = 900;

inline constexpr const char* kParticleFilter = "Vendrake Particles (*.vp)|*.vp";
inline constexpr const char* kTextureFilter = "Portable Network Graphics (*.png)|*.png";

}  // namespace editor_settings

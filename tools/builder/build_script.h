// The two sections a build script has beyond a setup script. They steer the
// builder and never reach the payload; paths in them are relative to the
// script's folder.
#pragma once

inline constexpr char kBuildSection[] = "build";
inline constexpr char kBuildOutputKey[] = "output";
inline constexpr char kBuildStubKey[] = "stub";
inline constexpr char kBuildUninstallerKey[] = "uninstaller";
// x86 (the default) or x64: which of the product's programs stub and
// uninstaller default to.
inline constexpr char kBuildArchitectureKey[] = "architecture";
inline constexpr char kBuildLicenseKey[] = "license";
inline constexpr char kBuildReadmeKey[] = "readme";
inline constexpr char kBuildLeftPictureKey[] = "left_picture";
inline constexpr char kBuildTopPictureKey[] = "top_picture";
inline constexpr char kBuildDotNetKey[] = "dotnetfx";
// A command line, not a path: the signing tool run on the uninstaller and on
// the written installer ({in} and {out} as for pack --sign).
inline constexpr char kBuildSignKey[] = "sign";
// How the payload is compressed: "deflate", "lzma" or "store", and the level
// 0 to 9, as build --method and --level (which win over them).
inline constexpr char kBuildMethodKey[] = "method";
inline constexpr char kBuildLevelKey[] = "level";
// Without [sources], each application entry is given as a key named after
// it: "file_" (kAppEntryPrefix) and its [files] key, with the file's path.

// Items 0 to count - 1 (kCountKey), numbered like [shell_items]: a file,
// directory or glob, and the target folder its files go to.
inline constexpr char kSourcesSection[] = "sources";
inline constexpr char kSourceFromKey[] = "%s_from";
inline constexpr char kSourceToKey[] = "%s_to";

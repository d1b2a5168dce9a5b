#pragma once

class PcmOutput;

// What the sound card module and the program agree on: the module's file name
// (without the platform's suffix) and the one function it exports, which makes
// an output on the default sound card. The version changes with PcmOutput, so
// that a module left over from another build is refused rather than called.
namespace SoundModuleEntry {

inline constexpr char kFileName[] = "KromaglenSound";
inline constexpr char kFunction[] = "kfzCreateSoundCardOutput";
inline constexpr int kVersion = 1;

// Returns nullptr when the version is not the module's own.
using Create = PcmOutput *(*)(int version);

} // namespace SoundModuleEntry

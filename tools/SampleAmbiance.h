#pragma once
// The sample lamp record: a NightLight, warm and 8 units in reach, that brightens as the
// surroundings darken and follows the blend between underground and outdoor:
//   Records/Lights/NightLamp.dbr

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kNightLampRecord = "Records/Lights/NightLamp.dbr";

// False, with the failure logged, when the record could not be written.
bool WriteAmbiance(FileSystem& files);

}  // namespace GAME::sample

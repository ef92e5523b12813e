#include "SampleAmbiance.h"

#include "SampleData.h"

namespace GAME::sample {

bool WriteAmbiance(FileSystem& files) {
    return WriteText(files, kNightLampRecord,
                     "Class,NightLight,\nradius,8,\ncolor.r,1,\ncolor.g,0.8,\ncolor.b,0.5,\ncastsShadows,1,\n"
                     "useInterpolatedEnvironment,1,\n");
}

}  // namespace GAME::sample

// The LightWave object loader with both normal passes, on any bytes.
#include "engine3d/objet3d.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrepareFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteInput(data, size, ".lwo");
    try {
        Objet3d object;
        object.LoadLWO(path.c_str());
        object.CalcNormalesFaces();
        object.CalcNormalesPoints();
    } catch (const FuzzProcessEnd&) {
    }
    return 0;
}

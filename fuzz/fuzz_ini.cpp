// The scene parameter file and its lookups, on any bytes.
#include "assets/inifile.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrepareFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteInput(data, size, ".ini");
    try {
        IniFile ini(path.c_str());
        volatile double sum = 0;
        for (const char* key : {"[boule_text]", "[anim_speed]", "[boule_vitesse]", "", "["})
            sum = sum + ini.FindNumber(key) + (ini.FindText(key) ? 1 : 0);
        for (int i = 0; i < ini.count; i++)
            sum = sum + ini.FindNumber(ini.entries[i].key);
    } catch (const FuzzProcessEnd&) {
    }
    return 0;
}

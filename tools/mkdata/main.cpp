// mkdata: writes the data tree of the show.
//
//   mkdata <data-dir>                     writes every generated file under <data-dir>
//   mkdata --wav <out.wav> <module.xm>    renders a module to a 16-bit 48 kHz WAV file
//   mkdata --sheet <data-dir> <out-dir>   writes the parts of the contact sheet (preview.h)
//   mkdata --icon <out.ico>               writes the Windows program's icon (icon.h)
//   mkdata --icon-png <size> <out.png>    writes the icon at one size as a PNG, for Linux
#include "base/process.h"
#include "mkdata/icon.h"
#include "mkdata/images.h"
#include "mkdata/mesh.h"
#include "mkdata/music.h"
#include "mkdata/paramfile.h"
#include "mkdata/preview.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Shows why the generator stopped: FatalError keeps its message without printing it.
void ReportFatal(int exitCode) {
    if (exitCode == kFatalExitCode && *LastFatalMessage())
        std::fprintf(stderr, "mkdata: %s\n", LastFatalMessage());
}

} // namespace

int main(int argc, char** argv) {
    SetProcessEndHandler(ReportFatal);
    if (argc == 4 && std::string(argv[1]) == "--wav") {
        RenderReport report = RenderModuleToWav(argv[3], argv[2]);
        std::printf("%s: %.3f s, peak %.4f of full scale, %ld clipped samples\n", argv[2],
                    report.seconds, report.peak, report.clippedSamples);
        if (!report.warnings.empty())
            std::printf("player log:\n%s", report.warnings.c_str());
        EndProcess(report.clippedSamples ? 1 : 0);
    }
    if (argc == 4 && std::string(argv[1]) == "--sheet") {
        mkdata::WriteContactSheetParts(argv[2], argv[3]);
        EndProcess(0);
    }
    if (argc == 3 && std::string(argv[1]) == "--icon") {
        mkdata::WriteIcon(argv[2]);
        EndProcess(0);
    }
    if (argc == 4 && std::string(argv[1]) == "--icon-png") {
        mkdata::WritePngIcon(std::atoi(argv[2]), argv[3]);
        EndProcess(0);
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: mkdata <data-dir>\n       mkdata --wav <out.wav> <module.xm>\n"
                             "       mkdata --sheet <data-dir> <out-dir>\n"
                             "       mkdata --icon <out.ico>\n"
                             "       mkdata --icon-png <size> <out.png>\n");
        EndProcess(2);
    }
    const std::string dataDir = argv[1];

    mkdata::WriteImages(dataDir);
    mkdata::WriteMesh(dataDir);
    mkdata::WriteParamFile(dataDir);
    WriteMusic(dataDir);
    EndProcess(0);
}

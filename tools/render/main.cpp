// demo-render: the show without a window, to a video, to frames, or timed.
#include "render/render.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(render::Usage().c_str(), stdout);
            return 0;
        }
    render::Options options;
    std::string error;
    if (!render::ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "demo-render: %s\n%s", error.c_str(), render::Usage().c_str());
        return 2;
    }
    return render::RenderShow(options);
}

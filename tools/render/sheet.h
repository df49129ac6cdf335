// A contact sheet of the show: one thumbnail every few seconds of the show, each labelled with
// its time and scene, laid out in rows on one picture and written as a PNG file.
//
// A thumbnail is the 512 x 256 frame at half size, every 2 x 2 block of pixels averaged (the
// border of the display is left out). Everything is integer work on the show's deterministic
// frames, so the same build writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

class ContactSheet {
  public:
    // Thumbnails at 0, every, 2 x every, ... seconds, before `showEnd`; frames are presented
    // `framesPerSecond` times a second of the show.
    ContactSheet(double every, double showEnd, int framesPerSecond);

    // The presented frame the next thumbnail shows (the first whose time is at or after the
    // thumbnail's), or -1 when every thumbnail is in.
    long NextFrame() const;

    // Adds the next thumbnail from the display picture (640 x 480 words, rows of `pitchBytes`
    // bytes), labelled with the time and `scene`.
    void Add(const uint8_t* display, long pitchBytes, const std::string& scene);

    // Writes the sheet as a PNG file; false with a message when it cannot.
    bool WritePng(const std::string& path, std::string* error) const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Pixels 0x00RRGGBB, rows of Width() words, top row first.
    const std::vector<uint32_t>& Pixels() const { return pixels_; }

  private:
    void DrawText(int x, int y, const std::string& text, int dot, uint32_t colour);

    double every_;
    int framesPerSecond_;
    int count_;     // thumbnails on the sheet
    int added_ = 0; // thumbnails drawn so far
    int columns_;
    int width_, height_;
    std::vector<uint32_t> pixels_;
};

// Whether this build can write PNG files (it needs stb_image_write).
bool CanWritePng();

} // namespace render

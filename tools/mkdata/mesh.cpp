#include "mkdata/mesh.h"

#include "mkdata/detmath.h"
#include "mkdata/draw.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace mkdata {

namespace {

struct Vec {
    double x, y, z;
};

Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(Vec a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec a) {
    return std::sqrt(Dot(a, a));
}
Vec Normalised(Vec a) {
    return a * (1.0 / Length(a));
}

// The figure is posed in its own frame: X to its left hand's side, Y up from the soles, Z
// forward. The world has +y pointing down the screen and the camera aiming at (0, 60, 0), so
// the figure's middle height goes there and its up becomes world -y. Mirroring y flips the
// handedness; the winding is settled after the flip, in world space (see AddPart).
constexpr double kMiddleHeight = 7.35;
Vec ToWorld(Vec figure) {
    return {figure.x, 60.0 - (figure.y - kMiddleHeight), figure.z};
}

// One closed part: an ellipsoid around `centre` (figure frame) with the semi-axis `pole` along
// which its rings are stacked, and the two radii across it. `taper` widens the rings towards
// the +pole end (0 = a plain ellipsoid, 0.2 = 20 % wider at the +pole side of the middle).
struct Part {
    Vec centre;
    Vec pole;
    double radius1;
    double radius2;
    double taper;
    int slices; // points around each ring
    int stacks; // bands from pole to pole
};

void AddPart(Mesh& mesh, const Part& part) {
    // Two unit axes across the pole: any direction not parallel to it, made perpendicular.
    Vec axis = Normalised(part.pole);
    Vec helper = std::fabs(axis.y) < 0.9 ? Vec{0, 1, 0} : Vec{1, 0, 0};
    Vec across1 = Normalised(Cross(axis, helper));
    Vec across2 = Cross(axis, across1);

    size_t first = mesh.points.size();
    auto addPoint = [&](Vec figurePoint) {
        Vec p = ToWorld(figurePoint);
        mesh.points.push_back({float(p.x), float(p.y), float(p.z)});
    };
    addPoint(part.centre + part.pole); // index first: the +pole tip
    for (int stack = 1; stack < part.stacks; ++stack) {
        double theta = detmath::kPi * stack / part.stacks;
        double along = Cos(theta);
        double ring = Sin(theta) * (1.0 + part.taper * along);
        for (int slice = 0; slice < part.slices; ++slice) {
            double phi = detmath::kTwoPi * slice / part.slices;
            Vec offset = across1 * (part.radius1 * ring * Cos(phi)) +
                         across2 * (part.radius2 * ring * Sin(phi));
            addPoint(part.centre + part.pole * along + offset);
        }
    }
    addPoint(part.centre - part.pole); // the -pole tip
    size_t last = mesh.points.size() - 1;

    auto ringPoint = [&](int stack, int slice) {
        return first + 1 + size_t(stack - 1) * part.slices + size_t(slice % part.slices);
    };
    size_t firstTriangle = mesh.triangles.size();
    auto addTriangle = [&](size_t a, size_t b, size_t c) {
        mesh.triangles.push_back({uint16_t(a), uint16_t(b), uint16_t(c)});
    };
    for (int slice = 0; slice < part.slices; ++slice) {
        addTriangle(first, ringPoint(1, slice), ringPoint(1, slice + 1));
        for (int stack = 1; stack + 1 < part.stacks; ++stack) {
            addTriangle(ringPoint(stack, slice), ringPoint(stack + 1, slice),
                        ringPoint(stack + 1, slice + 1));
            addTriangle(ringPoint(stack, slice), ringPoint(stack + 1, slice + 1),
                        ringPoint(stack, slice + 1));
        }
        addTriangle(last, ringPoint(part.stacks - 1, slice + 1), ringPoint(part.stacks - 1, slice));
    }

    // Every triangle above is wound the same way round the closed surface; a negative enclosed
    // volume means that way is inward, so turn them all.
    double volume = 0.0;
    auto point = [&](uint16_t index) {
        const std::array<float, 3>& p = mesh.points[index];
        return Vec{p[0], p[1], p[2]};
    };
    for (size_t t = firstTriangle; t < mesh.triangles.size(); ++t) {
        const std::array<uint16_t, 3>& tri = mesh.triangles[t];
        volume += Dot(point(tri[0]), Cross(point(tri[1]), point(tri[2])));
    }
    if (volume < 0.0) {
        for (size_t t = firstTriangle; t < mesh.triangles.size(); ++t)
            std::swap(mesh.triangles[t][1], mesh.triangles[t][2]);
    }
}

// A limb segment from joint `from` to joint `to`, overlapping the joints a little.
Part Segment(Vec from, Vec to, double radius, double taper, int slices, int stacks) {
    Vec half = (to - from) * 0.5;
    double length = Length(half);
    Vec pole = half * ((length + radius * 0.25) / length);
    return {from + half, pole * -1.0, radius, radius, taper, slices, stacks};
}

Part Ball(Vec centre, double radius, int slices, int stacks) {
    return {centre, {0, radius, 0}, radius, radius, 0.0, slices, stacks};
}

} // namespace

Mesh BuildMannequin() {
    Mesh mesh;
    // Joints of the pose: a step forward with the right leg, the left arm hanging, the right
    // arm raised in a wave.
    const Vec shoulderR{2.25, 11.2, 0.0}, elbowR{3.6, 10.0, 0.25}, wristR{3.95, 12.25, 0.5};
    const Vec shoulderL{-2.25, 11.2, 0.0}, elbowL{-2.7, 8.8, -0.3}, wristL{-2.6, 6.7, 0.4};
    const Vec hipR{0.9, 7.1, 0.0}, kneeR{1.05, 4.05, 0.75}, ankleR{1.0, 1.0, 0.2};
    const Vec hipL{-0.9, 7.1, 0.0}, kneeL{-0.95, 4.1, -0.55}, ankleL{-1.05, 1.1, -1.15};

    // Body: pelvis, waist, chest (wider at the shoulders), neck, head.
    AddPart(mesh, {{0, 7.7, 0}, {0, 1.05, 0}, 1.65, 1.1, -0.12, 20, 10});
    AddPart(mesh, {{0, 8.9, 0}, {0, 0.9, 0}, 1.3, 0.92, 0.0, 16, 8});
    AddPart(mesh, {{0, 10.4, 0.05}, {0, 1.5, 0}, 1.95, 1.18, 0.22, 24, 12});
    AddPart(mesh, {{0, 12.1, 0}, {0, 0.6, 0}, 0.52, 0.52, 0.0, 12, 6});
    AddPart(mesh, {{0, 13.4, 0.1}, {0, 1.2, 0}, 1.05, 1.15, 0.08, 24, 14});

    // Arms: shoulder, upper arm, elbow, forearm, wrist, hand on each side.
    const Vec shoulders[2] = {shoulderR, shoulderL}, elbows[2] = {elbowR, elbowL};
    const Vec wrists[2] = {wristR, wristL};
    for (int side = 0; side < 2; ++side) {
        AddPart(mesh, Ball(shoulders[side], 0.68, 14, 7));
        AddPart(mesh, Segment(shoulders[side], elbows[side], 0.6, 0.12, 14, 8));
        AddPart(mesh, Ball(elbows[side], 0.5, 12, 6));
        AddPart(mesh, Segment(elbows[side], wrists[side], 0.52, 0.12, 14, 8));
        AddPart(mesh, Ball(wrists[side], 0.36, 10, 5));
        Vec along = Normalised(wrists[side] - elbows[side]);
        AddPart(mesh, {wrists[side] + along * 0.66, along * 0.6, 0.46, 0.25, 0.1, 12, 7});
    }

    // Legs: hip, thigh, knee, shin, ankle, foot on each side.
    const Vec hips[2] = {hipR, hipL}, knees[2] = {kneeR, kneeL}, ankles[2] = {ankleR, ankleL};
    for (int side = 0; side < 2; ++side) {
        AddPart(mesh, Ball(hips[side], 0.74, 14, 7));
        AddPart(mesh, Segment(hips[side], knees[side], 0.86, 0.15, 16, 9));
        AddPart(mesh, Ball(knees[side], 0.62, 12, 6));
        AddPart(mesh, Segment(knees[side], ankles[side], 0.68, 0.15, 16, 9));
        AddPart(mesh, Ball(ankles[side], 0.46, 10, 5));
        Vec toe = ankles[side] + Vec{0.05, -0.58, 0.62};
        AddPart(mesh, {toe, {0, 0, 1.0}, 0.52, 0.38, 0.0, 14, 8});
    }
    return mesh;
}

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, value >> 16);
    PutU16(out, value & 0xFFFF);
}

void PutFloat(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

void PutChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& data) {
    out.insert(out.end(), tag, tag + 4);
    PutU32(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// A NUL-terminated name, padded with a second NUL to an even length.
void PutName(std::vector<uint8_t>& out, const char* name) {
    size_t length = std::strlen(name);
    out.insert(out.end(), name, name + length);
    out.push_back(0);
    if ((length + 1) % 2 != 0)
        out.push_back(0);
}

constexpr const char* kSurfaceName = "Chrome";

} // namespace

std::vector<uint8_t> EncodeLwob(const Mesh& mesh) {
    std::vector<uint8_t> points, names, polygons, surface;
    for (const std::array<float, 3>& p : mesh.points) {
        PutFloat(points, p[0]);
        PutFloat(points, p[1]);
        PutFloat(points, p[2]);
    }
    PutName(names, kSurfaceName);
    for (const std::array<uint16_t, 3>& t : mesh.triangles) {
        PutU16(polygons, 3);
        PutU16(polygons, t[0]);
        PutU16(polygons, t[1]);
        PutU16(polygons, t[2]);
        PutU16(polygons, 1); // surface 1, the first name of SRFS
    }
    PutName(surface, kSurfaceName);
    const char colour[4] = {'C', 'O', 'L', 'R'};
    surface.insert(surface.end(), colour, colour + 4);
    PutU16(surface, 4);
    surface.insert(surface.end(), {200, 210, 230, 0});

    std::vector<uint8_t> chunks;
    PutChunk(chunks, "PNTS", points);
    PutChunk(chunks, "SRFS", names);
    PutChunk(chunks, "POLS", polygons);
    PutChunk(chunks, "SURF", surface);

    std::vector<uint8_t> file;
    file.insert(file.end(), {'F', 'O', 'R', 'M'});
    PutU32(file, uint32_t(4 + chunks.size()));
    file.insert(file.end(), {'L', 'W', 'O', 'B'});
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
}

void WriteMesh(const std::string& dataDir) {
    Mesh mesh = BuildMannequin();
    if (mesh.points.size() > 65536)
        GeneratorFailure("the mesh has more points than 16-bit indices can name");
    std::vector<uint8_t> bytes = EncodeLwob(mesh);
    MakeFolder(dataDir + "/3d");
    std::string path = dataDir + "/3d/u_mec.lwo";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written)
        GeneratorFailure("cannot write " + path);
}

} // namespace mkdata

// Our GIF library beside giflib on the same files, in one run: whole loads from bytes
// in memory to frame indices, whole saves to bytes in memory (LZW, and our RLE), in
// megapixels per second, with the ratios and the encoded sizes.
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <functional>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double MinSeconds = 0.5;

// Seconds per call of each function. The functions take turns in short slices until
// each has run for at least MinSeconds, so that a change in the machine's load (other
// processes share it) falls on all of them alike.
template <size_t N>
std::array<double, N> timePerCall(const std::array<std::function<void()>, N>& functions)
{
    std::array<double, N> seconds{};
    std::array<int64_t, N> calls{};
    for (const auto& f : functions)
        f();
    constexpr double Slice = 0.02;
    while (*std::min_element(seconds.begin(), seconds.end()) < MinSeconds) {
        for (size_t i = 0; i < N; ++i) {
            const auto start = Clock::now();
            double elapsed = 0;
            do {
                functions[i]();
                ++calls[i];
                elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            } while (elapsed < Slice);
            seconds[i] += elapsed;
        }
    }
    for (size_t i = 0; i < N; ++i)
        seconds[i] /= static_cast<double>(calls[i]);
    return seconds;
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->bytes->size() - reader->position);
    std::memcpy(out, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

int writeMemory(GifFileType* gif, const GifByteType* in, int count)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), in, in + count);
    return count;
}

// Null when giflib refuses the file.
GifFileType* giflibLoad(const std::vector<uint8_t>& bytes, MemoryReader& reader)
{
    reader = MemoryReader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readMemory, &error);
    if (!gif)
        return nullptr;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return nullptr;
    }
    return gif;
}

void putExtensions(GifFileType* out, int count, const ExtensionBlock* blocks)
{
    for (int i = 0; i < count;) {
        const int function = blocks[i].Function;
        EGifPutExtensionLeader(out, function);
        do
            EGifPutExtensionBlock(out, blocks[i].ByteCount, blocks[i].Bytes);
        while (++i < count && blocks[i].Function == CONTINUE_EXT_FUNC_CODE);
        EGifPutExtensionTrailer(out);
    }
}

// A whole giflib save of a slurped file; interlaced rows go out in interlace order.
std::vector<uint8_t> giflibSave(const GifFileType* in)
{
    std::vector<uint8_t> bytes;
    int error = 0;
    GifFileType* out = EGifOpen(&bytes, writeMemory, &error);
    EGifSetGifVersion(out, true);
    EGifPutScreenDesc(out, in->SWidth, in->SHeight, in->SColorResolution, in->SBackGroundColor, in->SColorMap);
    for (int i = 0; i < in->ImageCount; ++i) {
        const SavedImage& image = in->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        putExtensions(out, image.ExtensionBlockCount, image.ExtensionBlocks);
        EGifPutImageDesc(out, d.Left, d.Top, d.Width, d.Height, d.Interlace, d.ColorMap);
        if (d.Interlace) {
            static constexpr int start[4] = {0, 4, 2, 1};
            static constexpr int step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = start[pass]; row < d.Height; row += step[pass])
                    EGifPutLine(out, image.RasterBits + size_t(row) * d.Width, d.Width);
        } else {
            EGifPutLine(out, image.RasterBits, d.Width * d.Height);
        }
    }
    putExtensions(out, in->ExtensionBlockCount, in->ExtensionBlocks);
    EGifCloseFile(out, &error);
    return bytes;
}

struct Result {
    std::string name;
    double megapixels = 0;
    double ourDecode = 0, theirDecode = 0, ourLzw = 0, theirLzw = 0, ourRle = 0;
    size_t ourBytes = 0, theirBytes = 0, rleBytes = 0;
};

void print(const Result& r)
{
    auto rate = [&](double seconds) { return r.megapixels / seconds; };
    std::printf("%-44s %8.3f | %8.1f %8.1f %5.2fx | %8.1f %8.1f %5.2fx | %9zu %9zu %5.3f | %8.1f %5.2fx\n",
                r.name.c_str(), r.megapixels, rate(r.ourDecode), rate(r.theirDecode), r.theirDecode / r.ourDecode,
                rate(r.ourLzw), rate(r.theirLzw), r.theirLzw / r.ourLzw, r.ourBytes, r.theirBytes,
                double(r.ourBytes) / double(r.theirBytes), rate(r.ourRle), r.ourLzw / r.ourRle);
}

std::vector<uint8_t> saveOurs(TGIFImage& image, TCompressionMethod method)
{
    image.SetCompressionMethod(method);
    TMemoryStream stream;
    image.SaveToStream(stream);
    return stream.TakeBytes();
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const fs::path root = argc > 1 ? argv[1] : "tests/data/gif";
    // An optional second argument keeps only the files whose path contains it.
    const std::string only = argc > 2 ? argv[2] : "";
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().extension() == ".gif" && entry.path().string().find(only) != std::string::npos)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    std::printf("Megapixels per second (MP/s), each measurement repeated for at least %.1f s.\n", MinSeconds);
    std::printf("%-44s %8s | %8s %8s %6s | %8s %8s %6s | %9s %9s %5s | %8s %6s\n", "file", "MP", "load", "giflib",
                "ratio", "LZW", "giflib", "ratio", "bytes", "giflib", "size", "RLE", "vsLZW");

    std::vector<Result> results;
    Result total{"TOTAL (whole set, each file once)"};
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        MemoryReader reader;
        GifFileType* slurped = giflibLoad(bytes, reader);
        if (!slurped)
            continue;

        TGIFImage image;
        TReadOnlyMemoryStream source(bytes.data(), bytes.size());
        try {
            image.LoadFromStream(source);
        } catch (const std::exception& e) {
            std::printf("%-44s our load failed: %s\n", fs::relative(path, root).c_str(), e.what());
            int error;
            DGifCloseFile(slurped, &error);
            continue;
        }

        Result r;
        r.name = fs::relative(path, root).string();
        int64_t pixels = 0;
        for (int i = 0; i < slurped->ImageCount; ++i)
            pixels += int64_t(slurped->SavedImages[i].ImageDesc.Width) * slurped->SavedImages[i].ImageDesc.Height;
        r.megapixels = double(pixels) / 1e6;

        const auto decode = timePerCall<2>({[&] {
                                                TGIFImage loaded;
                                                TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
                                                loaded.LoadFromStream(stream);
                                            },
                                            [&] {
                                                MemoryReader again;
                                                GifFileType* gif = giflibLoad(bytes, again);
                                                int error;
                                                DGifCloseFile(gif, &error);
                                            }});
        r.ourDecode = decode[0];
        r.theirDecode = decode[1];
        const auto encode = timePerCall<3>({[&] { saveOurs(image, cmLZW); }, [&] { giflibSave(slurped); },
                                            [&] { saveOurs(image, cmRLE); }});
        r.ourLzw = encode[0];
        r.theirLzw = encode[1];
        r.ourRle = encode[2];
        r.ourBytes = saveOurs(image, cmLZW).size();
        r.theirBytes = giflibSave(slurped).size();
        r.rleBytes = saveOurs(image, cmRLE).size();
        int error;
        DGifCloseFile(slurped, &error);

        print(r);
        total.megapixels += r.megapixels;
        total.ourDecode += r.ourDecode;
        total.theirDecode += r.theirDecode;
        total.ourLzw += r.ourLzw;
        total.theirLzw += r.theirLzw;
        total.ourRle += r.ourRle;
        total.ourBytes += r.ourBytes;
        total.theirBytes += r.theirBytes;
        total.rleBytes += r.rleBytes;
        results.push_back(r);
    }
    std::printf("\n");
    print(total);

    auto verdict = [](const char* what, bool ok) { std::printf("  %-58s %s\n", what, ok ? "met" : "NOT MET"); };
    std::printf("\nTargets:\n");
    const Result* harvesters = nullptr;
    for (const Result& r : results)
        if (r.name == "harvesters.gif")
            harvesters = &r;
    for (const Result* r : {static_cast<const Result*>(&total), harvesters}) {
        if (!r)
            continue;
        std::printf(" %s\n", r->name.c_str());
        verdict("load at least 1.5 x giflib", r->theirDecode / r->ourDecode >= 1.5);
        verdict("LZW save at least 1.5 x giflib", r->theirLzw / r->ourLzw >= 1.5);
        verdict("LZW bytes at most 1.01 x giflib", double(r->ourBytes) <= 1.01 * double(r->theirBytes));
        verdict("RLE save faster than LZW save", r->ourRle < r->ourLzw);
    }
    return 0;
}

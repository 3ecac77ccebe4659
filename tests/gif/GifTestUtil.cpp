#include "tests/gif/GifTestUtil.h"

#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

Loaded loadGif(const std::vector<uint8_t>& bytes)
{
    Loaded result;
    result.image->OnWarn = [&warnings = result.warnings](TObject*, int, const std::string& message) {
        warnings.push_back(message);
    };
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    try {
        result.image->LoadFromStream(stream);
    } catch (const Exception& e) {
        result.error = e.Message();
    }
    result.position = stream.Position();
    result.image->OnWarn = nullptr;
    return result;
}

std::vector<uint8_t> saveGif(TGIFImage& image)
{
    TMemoryStream stream;
    image.SaveToStream(stream);
    return stream.Bytes();
}

std::string dataPath(const std::string& relativePath)
{
    return std::string(CARNELO_TEST_DATA) + "/gif/" + relativePath;
}

std::vector<uint8_t> readDataFile(const std::string& relativePath)
{
    std::ifstream in(dataPath(relativePath), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> dataFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    const fs::path root = dataPath("");
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(root / folder))
        if (entry.path().extension() == ".gif")
            files.push_back(fs::relative(entry.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> pixelsOf(TGIFImage& image, int frame)
{
    const TGIFSubImage& f = image.Images().Items(frame);
    if (!f.Data())
        return {};
    return {f.Data(), f.Data() + f.DataSize()};
}

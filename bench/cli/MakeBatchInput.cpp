// The input of the card batch benchmark (batch.sh), made at run time so nothing large is kept
// in the tree: a contact log and a photo-sized JPEG background.
//
//   make_batch_input LOG.adi CONTACTS BACKGROUND.jpg
//
// The log has CONTACTS contacts with stations that come back (each station about four times,
// at different times), so the same log serves --per-card. The background is 1600 x 1200,
// quality 90, with smooth gradients and fine texture, so it decodes and fits like a photo.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <jpeglib.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kContactsPerStation = 4;

std::string Field(const char* name, const std::string& value) {
    std::string text(1, '<');
    text.append(name).append(1, ':').append(std::to_string(value.size())).append(1, '>');
    return text.append(value);
}

bool WriteLog(const char* path, int contacts) {
    static const char* const kModes[] = {"SSB", "CW", "FT8", "RTTY"};
    static const char* const kFreqs[] = {"14.074", "7.030", "3.573", "21.200", "28.500"};
    static const char* const kBands[] = {"20m", "40m", "80m", "15m", "10m"};
    static const char* const kNames[] = {"Anna", "Bob", "Chen", "Dieter", "Eva", "Farid"};
    const int stations = std::max(1, contacts / kContactsPerStation);
    std::string text = "Batch benchmark log<ADIF_VER:5>3.1.4<EOH>\n";
    for (int i = 0; i < contacts; ++i) {
        const int s = i % stations;
        const std::string call = std::string(s % 2 ? "DL" : "K") + std::to_string(s % 10) +
                                 char('A' + s % 26) + char('A' + (s / 26) % 26) +
                                 char('A' + (s / 676) % 26);
        // Minutes since the start of the log: unique per contact, so every card name differs.
        const int minute = i * 7;
        const int day = 1 + (minute / 1440) % 28;
        const int month = 1 + (minute / (1440 * 28)) % 12;
        char date[16];
        std::snprintf(date, sizeof date, "2024%02d%02d", month, day);
        char time[16];
        std::snprintf(time, sizeof time, "%02d%02d%02d", (minute / 60) % 24, minute % 60, i % 60);
        text += Field("CALL", call) + Field("QSO_DATE", date) + Field("TIME_ON", time) +
                Field("FREQ", kFreqs[i % 5]) + Field("BAND", kBands[i % 5]) +
                Field("MODE", kModes[i % 4]) + Field("RST_SENT", "599") +
                Field("NAME", kNames[s % 6]) + Field("QSL_SENT", "N") + "<EOR>\n";
    }
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out.flush());
}

bool WriteBackground(const char* path) {
    constexpr int kWidth = 1600;
    constexpr int kHeight = 1200;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors); // exits the program on an error: fine for a generator
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(kWidth) * 3);
    unsigned noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int grain = int((noise >> 16) & 15) - 8;
            row[size_t(x) * 3] = JSAMPLE(std::clamp(x * 255 / kWidth + grain, 0, 255));
            row[size_t(x) * 3 + 1] = JSAMPLE(std::clamp(y * 255 / kHeight + grain, 0, 255));
            row[size_t(x) * 3 + 2] =
                JSAMPLE(std::clamp(128 + ((x / 40 + y / 40) % 2) * 60 + grain, 0, 255));
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LOG.adi CONTACTS BACKGROUND.jpg\n", argv[0]);
        return 2;
    }
    const int contacts = std::atoi(argv[2]);
    if (contacts <= 0 || !WriteLog(argv[1], contacts) || !WriteBackground(argv[3])) {
        std::fprintf(stderr, "%s: could not make the input\n", argv[0]);
        return 1;
    }
    return 0;
}

#include "PdfWords.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>

namespace labels_test {

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

struct PipeCloser {
    void operator()(FILE* pipe) const { pclose(pipe); }
};

// The standard output of a command; the paths given here never hold a quote.
std::string Capture(const std::string& command) {
    std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    std::string out;
    if (!pipe)
        return out;
    std::array<char, 4096> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), got);
    return out;
}

std::string Unescape(std::string text) {
    static const std::array<std::pair<const char*, const char*>, 5> kEntities = {
        {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}};
    for (const auto& [entity, plain] : kEntities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), plain);
    }
    return text;
}

} // namespace

bool PopplerAvailable() {
    return std::system("pdftotext -v >/dev/null 2>&1") == 0 &&
           std::system("pdffonts -v >/dev/null 2>&1") == 0;
}

std::vector<PdfPage> ReadWords(const std::string& pdfPath) {
    const std::string html = Capture("pdftotext -bbox '" + pdfPath + "' - 2>/dev/null");
    static const std::regex kPage(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const std::regex kWord(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::vector<PdfPage> pages;
    std::size_t pos = 0;
    while (true) {
        std::smatch page;
        const std::string rest = html.substr(pos);
        if (!std::regex_search(rest, page, kPage))
            break;
        PdfPage current;
        current.width = std::stod(page[1]) * kMmPerPt;
        current.height = std::stod(page[2]) * kMmPerPt;
        const std::size_t begin = pos + page.position(0) + page.length(0);
        const std::size_t end = html.find("</page>", begin);
        const std::string body = html.substr(begin, end - begin);
        for (auto it = std::sregex_iterator(body.begin(), body.end(), kWord);
             it != std::sregex_iterator(); ++it) {
            const std::smatch& word = *it;
            current.words.push_back({Unescape(word[5]), std::stod(word[1]) * kMmPerPt,
                                     std::stod(word[2]) * kMmPerPt, std::stod(word[3]) * kMmPerPt,
                                     std::stod(word[4]) * kMmPerPt});
        }
        pages.push_back(std::move(current));
        if (end == std::string::npos)
            break;
        pos = end;
    }
    return pages;
}

std::string ReadText(const std::string& pdfPath) {
    return Capture("pdftotext '" + pdfPath + "' - 2>/dev/null");
}

std::string ReadFonts(const std::string& pdfPath) {
    return Capture("pdffonts '" + pdfPath + "' 2>/dev/null");
}

} // namespace labels_test

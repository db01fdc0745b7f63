#include "jsonline.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Shorter strings go through the writer: not worth a placeholder.
constexpr Json::ArrayIndex splicedLength = 4096;

struct Spliced
{
    Json::Value *slot = nullptr;
    Json::Value text;
    std::string quotedMarker;
};

// The bytes jsoncpp writes between the quotes exactly as they are (printable
// ASCII but the quote and the backslash), asked of the writer itself once.
const std::array<bool, 256> &verbatimBytes()
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> verbatim{};
        for (int c = 0x20; c < 0x7f; ++c) {
            const std::string one(1, char(c));
            verbatim[size_t(c)] = compactJson(Json::Value(one)) == '"' + one + '"';
        }
        return verbatim;
    }();
    return table;
}

// Whether any byte of the word is below 0x20, above 0x7e, a quote or a
// backslash (exact tests on all eight bytes at once).
bool hasSpecialByte(quint64 word)
{
    constexpr quint64 ones = ~quint64(0) / 255;
    constexpr quint64 highs = ones * 0x80;
    const auto hasZero = [](quint64 v) { return (v - ones) & ~v & highs; };
    const quint64 below = (word - ones * 0x20) & ~word & highs;
    const quint64 above = ((word + ones * (0x7f - 0x7e)) | word) & highs;
    return below | above | hasZero(word ^ (ones * '"')) | hasZero(word ^ (ones * '\\'));
}

bool isVerbatim(const Json::Value &value)
{
    const char *begin = nullptr;
    const char *end = nullptr;
    if (!value.getString(&begin, &end) || size_t(end - begin) < splicedLength)
        return false;
    const std::array<bool, 256> &verbatim = verbatimBytes();
    // Eight bytes at a time where the writer keeps exactly the expected set.
    static const bool expectedSet = [&verbatim] {
        for (int c = 0; c < 256; ++c) {
            if (verbatim[size_t(c)] != (c >= 0x20 && c <= 0x7e && c != '"' && c != '\\'))
                return false;
        }
        return true;
    }();
    const char *c = begin;
    if (expectedSet) {
        for (; end - c >= 8; c += 8) {
            quint64 word;
            std::memcpy(&word, c, 8);
            if (hasSpecialByte(word))
                return false;
        }
    }
    for (; c != end; ++c) {
        if (!verbatim[static_cast<unsigned char>(*c)])
            return false;
    }
    return true;
}

void takeLongStrings(Json::Value &value, std::vector<Spliced> &spliced)
{
    if (value.isString()) {
        if (!isVerbatim(value))
            return;
        Spliced entry;
        entry.slot = &value;
        entry.text.swap(value);
        // A control character is escaped by the writer; no text of ours
        // holds this marker, and finding it twice below falls back anyway.
        const std::string marker = "\x01zentri-host spliced " + std::to_string(spliced.size()) + "\x01";
        value = Json::Value(marker);
        entry.quotedMarker = compactJson(value);
        spliced.push_back(std::move(entry));
    } else if (value.isObject() || value.isArray()) {
        for (Json::Value &member : value)
            takeLongStrings(member, spliced);
    }
}

void restore(std::vector<Spliced> &spliced)
{
    for (Spliced &entry : spliced)
        entry.slot->swap(entry.text);
}

} // namespace

std::string compactJson(const Json::Value &value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

void writeJsonLine(std::ostream &out, Json::Value &value)
{
    writeCompactJson(out, value);
    out << std::endl;
}

void writeCompactJson(std::ostream &out, Json::Value &value)
{
    std::vector<Spliced> spliced;
    takeLongStrings(value, spliced);
    const std::string text = compactJson(value);

    // Each marker must stand exactly once in the text, else nothing is spliced.
    std::vector<size_t> positions;
    for (const Spliced &entry : spliced) {
        const size_t at = text.find(entry.quotedMarker);
        if (at == std::string::npos || text.find(entry.quotedMarker, at + 1) != std::string::npos)
            break;
        positions.push_back(at);
    }
    if (positions.size() != spliced.size()) {
        restore(spliced);
        out << compactJson(value);
        return;
    }

    std::vector<size_t> order(spliced.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return positions[a] < positions[b]; });
    size_t written = 0;
    for (const size_t i : order) {
        out.write(text.data() + written, std::streamsize(positions[i] - written));
        const char *begin = nullptr;
        const char *end = nullptr;
        spliced[i].text.getString(&begin, &end);
        out.put('"');
        out.write(begin, end - begin);
        out.put('"');
        written = positions[i] + spliced[i].quotedMarker.size();
    }
    out.write(text.data() + written, std::streamsize(text.size() - written));
    restore(spliced);
}

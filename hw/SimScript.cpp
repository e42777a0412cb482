#include "hw/SimScript.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

using Kind = SimScriptEvent::Kind;

struct KindName
{
    const char* name;
    Kind kind;
};
constexpr KindName kKinds[] = {
    {"short", Kind::Short}, {"clear", Kind::Clear},   {"load", Kind::Load},
    {"stuck", Kind::Stuck}, {"remove", Kind::Remove}, {"restore", Kind::Restore},
};

std::string Quoted(const std::string& s)
{
    return "„" + s + "“";
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// Locale-free: the program runs with a German decimal comma in the C library.
bool ToNumber(const std::string& token, double& value)
{
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool ToInteger(const std::string& token, int& value)
{
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// One line's words, without its comment.
std::vector<std::string> Words(std::string line)
{
    line = line.substr(0, line.find('#'));
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Parses one line's words into event; returns the complaint, empty when fine.
class LineParser
{
public:
    explicit LineParser(const std::vector<std::string>& words) : m_words(words) {}

    std::string Parse(SimScriptEvent& event)
    {
        if (m_words.size() < 2)
            return "Zeit und Ereignis erwartet, etwa „2 short 3“";
        if (!ToNumber(m_words[0], event.seconds) || event.seconds < 0)
            return "Zeit " + Quoted(m_words[0]) + " ist ungültig (Sekunden ab Start, 0 oder mehr)";
        if (!ToKind(Lower(m_words[1]), event.kind))
            return "unbekanntes Ereignis " + Quoted(m_words[1]) +
                   " (short, clear, load, stuck, remove, restore)";
        std::string error = Arguments(event);
        if (error.empty() && m_words.size() > m_used)
            error = "überzählige Angabe " + Quoted(m_words[m_used]);
        return error;
    }

private:
    static bool ToKind(const std::string& name, Kind& kind)
    {
        for (const KindName& k : kKinds) {
            if (name == k.name) {
                kind = k.kind;
                return true;
            }
        }
        return false;
    }

    std::string Arguments(SimScriptEvent& event)
    {
        const std::string& name = m_words[1];
        if (event.kind == Kind::Remove || event.kind == Kind::Restore) {
            if (m_words.size() < 3)
                return "bei " + Quoted(name) + " fehlt die Adresse (etwa 0x90)";
            return Address(m_words[2], event.address);
        }
        if (m_words.size() < 3)
            return "bei " + Quoted(name) + " fehlt der Kanal (1 bis 16)";
        if (std::string e = Channel(m_words[2], event.nChannel);
            !e.empty() || event.kind != Kind::Load)
            return e;
        if (m_words.size() < 4)
            return "bei " + Quoted(name) + " fehlt der Strom in Ampere";
        m_used = 4;
        if (!ToNumber(m_words[3], event.amps) || event.amps < 0)
            return "Strom " + Quoted(m_words[3]) + " ist ungültig (Ampere, 0 oder mehr)";
        return {};
    }

    std::string Channel(const std::string& token, int& nChannel)
    {
        m_used = 3;
        if (!ToInteger(token, nChannel))
            return "Kanal " + Quoted(token) + " ist keine ganze Zahl";
        if (nChannel < 1 || nChannel > 16)
            return "Kanal " + std::to_string(nChannel) + " gibt es nicht (1 bis 16)";
        return {};
    }

    std::string Address(const std::string& token, std::uint8_t& address)
    {
        m_used = 3;
        const std::string digits = token.size() > 2 ? token.substr(2) : std::string();
        unsigned value = 0;
        const char* end = digits.data() + digits.size();
        const auto [ptr, ec] = std::from_chars(digits.data(), end, value, 16);
        if (Lower(token.substr(0, 2)) != "0x" || ec == std::errc::invalid_argument || ptr != end)
            return "Adresse " + Quoted(token) + " ist keine Hexadezimalzahl wie 0x90";
        if (ec == std::errc::result_out_of_range || value > 0xFF)
            return "Adresse " + token + " liegt nicht zwischen 0x00 und 0xFE";
        if (value & 1)
            return "Adresse " + Hex(value) + " ist ungerade (die Schreibadresse angeben, etwa " +
                   Hex(value & 0xFE) + ")";
        address = std::uint8_t(value);
        return {};
    }

    const std::vector<std::string>& m_words;
    std::size_t m_used = 2;
};

} // namespace

bool CSimScript::Parse(const std::string& text, CSimScript& script, std::string& error)
{
    std::vector<SimScriptEvent> events;
    std::istringstream in(text);
    int nLine = 0;
    for (std::string line; std::getline(in, line);) {
        ++nLine;
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        SimScriptEvent event;
        const std::string complaint = LineParser(words).Parse(event);
        if (!complaint.empty()) {
            error = "Zeile " + std::to_string(nLine) + ": " + complaint;
            return false;
        }
        events.push_back(event);
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const SimScriptEvent& a, const SimScriptEvent& b) { return a.seconds < b.seconds; });
    script.m_events = std::move(events);
    error.clear();
    return true;
}

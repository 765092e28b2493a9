// LEIA-ME.txt, the technician's guide: a text file that Notepad on Windows 7
// shows whole, whose quotes of the program are, letter for letter, texts the
// program shows.
//
// The guide puts the program's texts between « and ». Inside a quote, [...]
// stands for a part that varies (an address, a number, the system's reason),
// and a line break or a run of blanks stands for any run of blanks or line
// breaks, since the guide wraps its lines where the program's windows wrap
// theirs. The program's texts are taken from the program itself: the
// catalogue through MENSAGEM, the captions from the window layouts, the
// failure box's causes from its own texts (the two that need a line gone
// silent would cost 5 s of real time each), and the boxes and the status line
// as updates against the simulated cartridge show them, one run for every
// kind of box.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>

#include "app_fixture.h"
#include "falha.h"
#include "layouts.h"
#include "uMSG.h"

namespace {

const std::string OPEN = "\u00AB", CLOSE = "\u00BB";  // « and », as UTF-8

struct Quote {
    std::string text;
    int line;  // where it starts in the guide, from 1
};

// Every run of blanks and line breaks as one blank, none at either end.
std::string squeezed(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (!blank) out += c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The quotes in order; an unclosed « is a quote up to the end, so that it
// is reported rather than lost.
std::vector<Quote> quotes_in(const std::string& guide) {
    std::vector<Quote> quotes;
    for (size_t at = guide.find(OPEN); at != std::string::npos; at = guide.find(OPEN, at + 1)) {
        const size_t start = at + OPEN.size();
        const size_t end = guide.find(CLOSE, start);
        const int line = 1 + static_cast<int>(std::count(guide.begin(), guide.begin() + at, '\n'));
        quotes.push_back({guide.substr(start, end == std::string::npos ? end : end - start), line});
    }
    return quotes;
}

// A quote as a pattern: its letters as they are, [...] as any text of one
// character or more.
std::regex pattern_of(const std::string& quote) {
    const std::string text = squeezed(quote);
    std::string pattern;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t close = text[i] == '[' ? text.find(']', i) : std::string::npos;
        if (close != std::string::npos && close > i + 1) {
            pattern += ".+?";
            i = close;
        } else {
            if (std::string("\\^$.|?*+()[]{}").find(text[i]) != std::string::npos) pattern += '\\';
            pattern += text[i];
        }
    }
    return std::regex(pattern);
}

// The quote is a part of one of the texts.
bool shown(const std::string& quote, const std::vector<std::string>& texts) {
    const std::regex pattern = pattern_of(quote);
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return std::regex_search(squeezed(t), pattern); });
}

// Some quote is the text whole (`whole`) or its beginning.
bool quoted(const std::string& text, const std::vector<Quote>& quotes, bool whole) {
    const std::string target = squeezed(text);
    return std::any_of(quotes.begin(), quotes.end(), [&](const Quote& q) {
        const std::regex pattern = pattern_of(q.text);
        return whole ? std::regex_match(target, pattern)
                     : std::regex_search(target, pattern, std::regex_constants::match_continuous);
    });
}

std::string guide_text() { return read_file(SOURCE_DIR "/LEIA-ME.txt"); }

// The guide without its byte-order mark, line ends as "\n".
std::string guide_lines() {
    std::string text = guide_text();
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::string joined(const std::vector<const char*>& lines) {
    std::string text;
    for (const char* line : lines) text += std::string(text.empty() ? "" : "\n") + line;
    return text;
}

// Characters of a UTF-8 line; -1 when it is not UTF-8.
int characters(const std::string& line) {
    int count = 0;
    for (size_t i = 0; i < line.size(); ++count) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > line.size()) return -1;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return -1;
        i += length;
    }
    return count;
}

}  // namespace

// What the program shows: its catalogue, its captions, and what updates
// that meet each kind of end leave in the boxes and the status line.
class Guide : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        for (const ui::FormSpec* form : {&LAYOUT_FMATU, &LAYOUT_FMMSG}) {
            texts.push_back(form->caption);
            for (int i = 0; i < form->control_count; ++i) texts.push_back(form->controls[i].text);
        }
        for (unsigned code = 0; code < 16; ++code)
            if (const MensagemCatalogo* m = MENSAGEM(code)) {
                texts.push_back(m->titulo);
                catalogue.push_back(joined(m->linhas));
            }
        texts.insert(texts.end(), catalogue.begin(), catalogue.end());
        texts.insert(texts.end(), {TEXTO_CAUSA_RECUSA, TEXTO_CAUSA_SEM_RESPOSTA, TEXTO_CAUSA_INCOMPLETA,
                                   TEXTO_CAUSA_PORTA});
    }

    // A fresh start of the program on `package` and one press of "Atualiza",
    // `prepare` run just before it; keeps the boxes and the status line.
    void run(const std::vector<std::string>& package, sim::Options options = default_cartridge(),
             const std::function<void()>& prepare = [] {}) {
        TearDown();
        dialogs.clear();
        AppTest::SetUp();
        start_program(package);
        if (PACOTE_VALIDO) {
            attach_cartridge(options);
            prepare();
            press_update();
        }
        boxes_shown.insert(boxes_shown.end(), boxes().begin(), boxes().end());
        texts.insert(texts.end(), boxes().begin(), boxes().end());
        texts.push_back(ui::text(control("lbGG")));
    }

    // A run whose record finds neither of its places writable: the first one
    // named as on Windows, in a folder of our own, and both places folders.
    void run_without_a_record(const std::vector<std::string>& package, sim::Options options) {
        const std::string folder = ::testing::TempDir() + "guide_" + std::to_string(getpid());
        std::filesystem::create_directories(folder + "/C:\\TEXTO2.TXT");
        char* cwd = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        run(package, options, [this] {
            ARQUIVO_DUMP = "C:\\TEXTO2.TXT";
            ASSERT_EQ(mkdir(home_dump_path.c_str(), 0755), 0);
        });
        ASSERT_EQ(chdir(cwd), 0);
        free(cwd);
        std::filesystem::remove_all(folder);
    }

    // The runs: a whole update and a refused identity page whose records find
    // neither of their places writable, a refusal at each step of the update,
    // another cartridge put in place, a damaged package.
    void run_every_ending() {
        const std::vector<std::string> package = pkggen::make_package(pkggen::small_shape());
        run_without_a_record(package, default_cartridge());
        sim::Options identity_page_refused = default_cartridge();
        identity_page_refused.nak = {'W', 11};
        run_without_a_record(package, identity_page_refused);

        // The small package: D D, then E W per Page (9, G after the fourth),
        // E E, F F per Block, E W at 0x8080, E W at 0x8000, G.
        const sim::CommandSelector steps[] = {{'D', 2}, {'W', 1}, {'G', 1}, {'F', 1}, {'W', 10}, {'W', 11}, {'G', 2}};
        for (const sim::CommandSelector& step : steps) {
            sim::Options options = default_cartridge();
            options.nak = step;
            run(package, options);
        }
        sim::Options swapped = default_cartridge();
        swapped.identity_change_after_reads = 1;
        run(package, swapped);
        std::vector<std::string> damaged = package;
        damaged.pop_back();  // no "FIM"
        run(damaged);
    }

    std::vector<std::string> texts;        // everything the program showed
    std::vector<std::string> catalogue;    // each message's lines, joined
    std::vector<std::string> boxes_shown;  // every plain box of the runs
};

TEST(GuideFile, IsUtf8WithAByteOrderMarkAndCrlfLinesNotepadShowsWhole) {
    const std::string text = guide_text();
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "a bare line feed at byte " << i;
        if (text[i] == '\r') ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "a bare CR at byte " << i;
    }
    int number = 0;
    std::istringstream lines(guide_lines());
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const int width = characters(line);
        EXPECT_GE(width, 0) << "line " << number << " is not UTF-8";
        EXPECT_LE(width, 78) << "line " << number << ": " << line;
        EXPECT_EQ(line.find('\t'), std::string::npos) << "line " << number;
    }
}

TEST(GuideQuotes, APatternKeepsEveryLetterAndTakesAnyTextForItsBrackets) {
    const std::vector<std::string> texts = {"A atualização não foi concluída: falha na gravação da página 8C00 "
                                            "(o cartucho recusou o comando).\n\nO cartucho ficou..."};
    EXPECT_TRUE(shown("A atualização não foi\r\n   concluída: falha na gravação da página [endereço]", texts));
    EXPECT_TRUE(shown("página [endereço] ([causa]).", texts));
    EXPECT_TRUE(shown("comando). O cartucho", texts));  // a blank line is a blank
    EXPECT_FALSE(shown("A atualizacão não foi concluída", texts));  // one letter off
    EXPECT_FALSE(shown("falha na gravação da página []", texts));
    EXPECT_FALSE(shown("página [endereço] (o cartucho não respondeu)", texts));
    EXPECT_FALSE(shown("Atualização (versão)", {"Atualização versão"}));  // ( ) are letters, not a group

    const std::vector<Quote> quotes = quotes_in("a «Um [n].» e «dois\r\n  três» e «sem fim");
    ASSERT_EQ(quotes.size(), 3u);
    EXPECT_EQ(quotes[1].text, "dois\r\n  três");
    EXPECT_EQ(quotes[2].text, "sem fim");
    EXPECT_TRUE(quoted("Um 7.", quotes, true));
    EXPECT_TRUE(quoted("dois três quatro", quotes, false));
    EXPECT_FALSE(quoted("dois três quatro", quotes, true));
    EXPECT_FALSE(quoted("Zero. Um 7.", quotes, false));
}

TEST_F(Guide, EveryQuotedTextIsATextTheProgramShows) {
    run_every_ending();
    const std::vector<Quote> quotes = quotes_in(guide_lines());
    ASSERT_GT(quotes.size(), 40u);
    for (const Quote& q : quotes) EXPECT_TRUE(shown(q.text, texts)) << "line " << q.line << ": «" << q.text << "»";
}

TEST_F(Guide, EveryMessageAndEveryKindOfBoxIsQuoted) {
    run_every_ending();
    const std::vector<Quote> quotes = quotes_in(guide_lines());
    for (const std::string& message : catalogue) EXPECT_TRUE(quoted(message, quotes, true)) << message;
    // One box a run: the record's, the record's and the identity page's, a
    // failure at each of seven steps, the other cartridge's, the damaged
    // package's.
    EXPECT_EQ(boxes_shown.size(), 12u);
    for (const std::string& box : boxes_shown) EXPECT_TRUE(quoted(box, quotes, false)) << box;
}

#include "testsupport.h"

#include "refdata/referenceloader.h"
#include "textio/codec.h"
#include "textio/fileio.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tamso::test {

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream name;
    name << "tamso-test-" << std::hex << rd() << '-' << counter++;
    path_ = fs::temp_directory_path() / name.str();
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path TempFolder::file(std::string_view utf8Name) const {
    return textio::fileInFolder(path_, utf8Name);
}

void writeBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write test file " + pathUtf8(file));
}

void writeSjis(const fs::path& file, std::string_view utf8Text) {
    auto sjis = textio::utf8ToSjis(utf8Text);
    if (!sjis.ok())
        throw std::runtime_error("test text is not Shift-JIS: " + sjis.error().message());
    writeBytes(file, *sjis);
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string readSjis(const fs::path& file) {
    auto text = textio::sjisToUtf8(readBytes(file));
    if (!text.ok())
        throw std::runtime_error("not Shift-JIS: " + pathUtf8(file));
    return *text;
}

void writeMinimalReferenceFiles(const fs::path& folder) {
    writeSjis(textio::fileInFolder(folder, "基礎データ.dat"),
              " 33.97 \r\n試験装置, 型式A\r\n 12 \r\n 2.5 \r\n試験病院, 新生児科\r\n");
    std::string bsf;
    for (int j = 1; j <= 300; ++j) {
        bsf += std::to_string(0.1 * j);
        for (int k = 1; k <= 31; ++k)
            bsf += ", " + std::to_string(j <= 100 ? 0.001 : 0.0);
        bsf += "\r\n";
    }
    writeSjis(textio::fileInFolder(folder, "mono_dBSF.dat"), bsf);
    std::string atten;
    for (int i = 1; i <= 300; ++i) {
        // Smoothly falling coefficients, so that beams harden and every search finds its bin.
        const double e = 0.5 * i;
        const double muAl = 2.699 * (0.15 + 3000.0 / (e * e * e));
        atten += std::to_string(e) + ", " + std::to_string(19.3 * (0.2 + 30000.0 / (e * e * e))) + ", " +
                 std::to_string(muAl) + ", " + std::to_string(8.96 * (0.2 + 30000.0 / (e * e * e))) + ", " +
                 "0.15, 0.16, " + std::to_string(1.19 * (0.18 + 30.0 / (e * e * e))) + "\r\n";
    }
    writeSjis(textio::fileInFolder(folder, "Atten2.dat"), atten);
    writeSjis(textio::fileInFolder(folder, "tamso_output.op"),
              "試験用の出力データ\r\n40. 50. 60. 70. 80. \r\n"
              "6.00E-06 9.00E-06 1.20E-05 1.50E-05 1.80E-05 2.50 0.00\r\n");
    writeSjis(
        textio::fileInFolder(folder, "s_p_ratio.dat"),
        "10, 0.01, 0.02, 0.03\r\n20, 0.02, 0.03, 0.04\r\n30, 0.03, 0.04, 0.05\r\n40, 0.04, 0.05, 0.06\r\n"
        "100, 400, 900\r\n");
    std::string ambient;
    for (int i = 1; i <= 6; ++i) {
        ambient += " " + std::to_string(60 + 10 * i);
        for (int v = 0; v < 6; ++v)
            ambient += " " + std::to_string(0.1 * i + 0.01 * v);
        ambient += "\r\n";
    }
    writeSjis(textio::fileInFolder(folder, "kaijo_dose.dat"), ambient);
}

std::unique_ptr<engine::CalculationState> loadMinimalInstallation(const fs::path& folder) {
    writeMinimalReferenceFiles(folder);
    auto state = std::make_unique<engine::CalculationState>();
    if (auto error = refdata::loadReferenceData(*state, folder); !error.ok())
        throw std::runtime_error("minimal installation does not load: " + error.message());
    state->exposureSource = 2;
    return state;
}

std::string calculatorProgram() {
#ifdef _WIN32
    return std::string(TAMSO_BINARY_DIR) + "/tamso-calc.exe";
#else
    return std::string(TAMSO_BINARY_DIR) + "/tamso-calc";
#endif
}

std::string quotedArgument(const fs::path& path) {
    return "\"" + pathUtf8(path) + "\"";
}

std::string printedText(std::string text) {
#ifdef _WIN32
    std::string lf;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lf += text[i];
    return lf;
#else
    return text;
#endif
}

int runCommand(const std::string& utf8Command) {
#ifdef _WIN32
    const std::string whole = "\"" + utf8Command + "\"";
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, whole.data(), static_cast<int>(whole.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, whole.data(), static_cast<int>(whole.size()), wide.data(), size);
    return ::_wsystem(wide.c_str());
#else
    const int raw = std::system(utf8Command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}

ProgramRun runCalculator(const TempFolder& folder, const std::string& arguments) {
    const auto out = folder.path() / "stdout.txt";
    const auto err = folder.path() / "stderr.txt";
    const std::string command = quotedArgument(calculatorProgram()) + " " + arguments + " > " +
                                quotedArgument(out) + " 2> " + quotedArgument(err);
    ProgramRun run;
    run.status = runCommand(command);
    run.out = printedText(readBytes(out));
    run.err = printedText(readBytes(err));
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(err, ignored);
    return run;
}

} // namespace tamso::test

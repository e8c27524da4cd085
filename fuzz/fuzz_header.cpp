// The header-line parser with the expression evaluator on any header file: no crash, no
// hang; a symbol it takes has a name.
#include "dcdatabase/headerparser.h"
#include "fuzzsupport.h"

#include <cstdlib>

namespace {

class QuietLog : public ScanLogWindow {
public:
    void addMessage(const QString&) override {}
    void updateProgress(float, bool) override {}
    scriptcontrol::ScriptControl& sc() override { return m_sc; }

private:
    scriptcontrol::ScriptControl m_sc;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    const QString path = fuzzsupport::writeInput(data, size, QStringLiteral("-dataContainer.h"));
    QuietLog log;
    std::vector<ScanRow> rows;
    HeaderParser parser(log, rows);
    int line = 20000;
    parser.scanSource(path, line);
    for (const ScanRow& r : rows)
        if (r.name.isEmpty()) std::abort();
    // The evaluator alone on the same text, as one expression.
    log.sc().Eval(QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}

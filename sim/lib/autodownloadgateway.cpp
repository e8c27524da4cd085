#include "lib/autodownloadgateway.h"

#include "lib/personality_app.h"

namespace sim {

namespace {
constexpr int kTickMs = 20;
constexpr int kMaxAttempts = 3;
constexpr int kAcknowledgeMs = 50;  // commands without a long job finish after this
constexpr quint16 kSectionWords[][2] = {{0x0010, 3}, {0x0020, 4}, {0x0040, 6}, {0x0080, 7}};
}  // namespace

AutoDownloadGateway::AutoDownloadGateway(PxmModule& spare, QList<PxmModule*> cylinders, const ProfileOptions& options)
    : m_spare(spare), m_cylinders(std::move(cylinders)), m_options(options),
      m_symState(options.symbolNumber(QLatin1String(kSymModuleStateRO))),
      m_symRegister(options.symbolNumber(QLatin1String(kSymModuleStateRW))),
      m_symUpdate(options.symbolNumber(QLatin1String(kSymUpdateStateRO))),
      m_symFailure(options.symbolNumber(QLatin1String(kSymUpdateFailureRO))) {
    SymbolTable& t = spare.symbols();
    for (quint16 n : {m_symState, m_symUpdate, m_symFailure})
        if (n != 0) t.define(n, 0, false);
    // The register goes out only when it changes: a periodic copy could overtake a command
    // on its way and show the register free before module 0 has seen the command.
    if (m_symRegister != 0) t.define(m_symRegister, 0, true, false);
    t.setWriteHandler([this](quint16 number, quint32 value) { return number != m_symRegister || onWrite(number, value); });
    m_clock.start();
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &AutoDownloadGateway::tick);
    refresh();
}

int AutoDownloadGateway::sectionOf(quint16 word) {
    for (const auto& w : kSectionWords)
        if (w[0] == word) return w[1];
    return 0;
}

PxmModule* AutoDownloadGateway::cylinder(int module) const {
    for (PxmModule* m : m_cylinders)
        if (m->number() == module) return m;
    return nullptr;
}

quint32 AutoDownloadGateway::moduleState() const {
    quint16 application = m_spare.mode() == PxmModule::Mode::Application ? 1 : 0, bootloader = 0;
    for (PxmModule* m : m_cylinders) {
        if (m->mode() == PxmModule::Mode::Application) application |= quint16(1u << m->number());
        if (m->mode() == PxmModule::Mode::Bootloader) bootloader |= quint16(1u << m->number());
    }
    return quint32(application) | quint32(bootloader) << 16;
}

void AutoDownloadGateway::refresh() {
    SymbolTable& t = m_spare.symbols();
    if (m_symState) t.setValue(m_symState, moduleState());
    if (m_symFailure) t.setValue(m_symFailure, failures());
}

bool AutoDownloadGateway::onWrite(quint16, quint32 value) {
    const quint16 mask = quint16(value & 0xFFFF), word = quint16(value >> 16);
    // A busy module 0 takes nothing but the abort; the echo shows the register unchanged.
    if (m_job != Job::None && (word != kAbort || m_options.deafToAbort)) return false;
    m_word = word;
    m_mask = mask;
    if (word == 0) return true;
    m_timer.start();
    if (word == kStartBootloader || word == kStartApplication) {
        m_job = Job::Switch;
        m_due = now() + m_options.switchMs;
    } else if (sectionOf(word) != 0) {
        m_job = Job::Download;
        m_queue.clear();
        for (int module = 1; module <= 14; ++module)
            if (mask & (1u << module)) m_queue << module;
        startNextModule();
    } else {
        if (word == kClearFailure) m_failedTransfer = m_notServed = 0;
        if (word == kAbort) setUpdateState(false);
        // Words without a job of their own (abort, clear, and words it does not know).
        m_job = Job::Finish;
        m_due = now() + kAcknowledgeMs;
    }
    refresh();
    return true;
}

void AutoDownloadGateway::startNextModule() {
    if (m_queue.isEmpty()) {
        setUpdateState(false);
        m_job = Job::Finish;
        m_due = now();
        return;
    }
    m_current = m_queue.takeFirst();
    m_attempt = 1;
    m_percent = 0;
    m_attemptStart = now();
    setUpdateState(true);
}

void AutoDownloadGateway::setUpdateState(bool transferring) {
    if (!m_symUpdate) return;
    const quint32 b0 = quint32(m_current & 0x0F) | (transferring ? 0x10u : 0u);
    m_spare.symbols().setValue(m_symUpdate, b0 | quint32(m_percent & 0x7F) << 8 | quint32(m_attempt & 0x1F) << 16);
}

void AutoDownloadGateway::tick() {
    switch (m_job) {
    case Job::None: m_timer.stop(); return;
    case Job::Finish:
        if (now() >= m_due) finish();
        return;
    case Job::Switch:
        if (now() < m_due) return;
        for (int module = 1; module <= 14; ++module) {
            PxmModule* m = cylinder(module);
            if (!m || !(m_mask & (1u << module)) || m->mode() == PxmModule::Mode::Off) continue;
            if (m_word == kStartBootloader) m->runBootloader();
            else if (!m_startCheck || m_startCheck(module)) m->runApplication();
        }
        refresh();
        finish();
        return;
    case Job::Download: break;
    }
    PxmModule* m = cylinder(m_current);
    const quint16 bit = quint16(1u << m_current);
    // Only a module waiting in its bootloader can take a section.
    if (!m || m->mode() != PxmModule::Mode::Bootloader) {
        m_notServed |= bit;
        refresh();
        return startNextModule();
    }
    m_percent = int(qMin<qint64>(100, (now() - m_attemptStart) * 100 / m_options.sectionMs));
    // A stalled transfer reports the same state until module 0 is told to abort.
    if ((m_options.stallMask & bit) && m_percent >= 50) return;
    const bool failsNow = (m_options.failMask & bit) || ((m_options.retryMask & bit) && m_attempt == 1);
    if (failsNow && m_percent >= 50) {
        if (m_attempt < kMaxAttempts) {
            ++m_attempt;
            m_percent = 0;
            m_attemptStart = now();
            setUpdateState(true);
            return;
        }
        m_failedTransfer |= bit;
        refresh();
        return startNextModule();
    }
    setUpdateState(true);
    if (m_percent >= 100) {
        m->loadedSections << sectionOf(m_word);
        if (m_sectionLoaded) m_sectionLoaded(m_current, sectionOf(m_word));
        startNextModule();
        if (m_options.spareDropsAfterLoad && m_job == Job::Finish) {
            finish();
            m_spare.runBootloader();
        }
    }
}

void AutoDownloadGateway::finish() {
    m_job = Job::None;
    m_timer.stop();
    m_word = 0;
    if (m_symRegister) m_spare.symbols().setValue(m_symRegister, m_mask);
}

}  // namespace sim

// The image walker in read mode, as the reconstruction runs it on an image uploaded from a
// module: any image against a step table with numbers, packed BCD, texts and loops. No
// crash, no hang; what it reads lies inside the image and belongs to an existing record.
#include "dcbuilder/imagewalk.h"
#include "fuzzsupport.h"

#include <cstdlib>

namespace {

dcImage::EnumRecord record(int i) {
    dcImage::EnumRecord r;
    r.columns = {{QStringLiteral("name"), QStringLiteral("ALM_%1").arg(i)},
                 {QStringLiteral("class"), QStringLiteral("ALARM")},
                 {QStringLiteral("value"), i},
                 {QStringLiteral("extra"), i * 3},
                 {QStringLiteral("vargroup"), QString()}};
    return r;
}

dcImage::StepRow row(qint32 step, const char* value, qint32 width, const char* cls = "", const char* loops = "",
                     qint32 gotoStep = 0, const char* content = "value") {
    return {step, QLatin1String(content), QLatin1String(value), width, QLatin1String(loops), gotoStep,
            QLatin1String(cls), QString()};
}

const dcImage::Tables& tables() {
    static const dcImage::Tables t = [] {
        dcImage::Tables t;
        t.enumTable = QStringLiteral("alarmEnums");
        t.steps = {row(1, "DC_BUILD", 4), row(2, "DC_NUM", 2),          row(3, "DC_TEXT", 8),
                   row(4, "COUNT", 2),    row(5, "TABLE", 1, "ALARM"),  row(6, "TABLE_", 4, "ALARM", "COUNT", 5, "extra"),
                   row(7, "TABLE", 12, "ALARM", "", 0, "name"),          row(8, "-1", 2)};
        for (int i = 0; i < 40; ++i) t.records.push_back(record(i));
        t.constants = {{QStringLiteral("COUNT"), 30}};
        return t;
    }();
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::init();
    QByteArray image(reinterpret_cast<const char*>(data), qsizetype(size));
    qint64 position = 0;
    const dcImage::WalkResult r = dcImage::walk(dcImage::Direction::Read, tables(), {}, image, position);
    if (image.size() != qsizetype(size)) std::abort();  // reading never changes the image
    if (r.ok && position > qint64(size)) std::abort();
    for (const dcImage::StoredValue& v : r.stored)
        if (v.record < 0 || v.record >= int(tables().records.size())) std::abort();
    return 0;
}

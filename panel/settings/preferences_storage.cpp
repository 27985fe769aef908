#include "preferences_storage.h"

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "apilog.h"

namespace TVR {

namespace {

constexpr char kOrganisation[] = "Tavro";
constexpr char kApplication[] = "Webcam tools";

// Old value name in the profile group -> new name in the geometry subgroup: the title each
// window keeps its position under, so that a migrated position is found by its window.
constexpr std::array<std::pair<const char*, const char*>, 8> kGeometryMigration = {{
    {"Green Screen config window's X position",
     "Configure the chroma key enhancer (color substitution) X"},
    {"Green Screen config window's Y position",
     "Configure the chroma key enhancer (color substitution) Y"},
    {"Main window's X position", "Tavro control center X"},
    {"Main window's Y position", "Tavro control center Y"},
    {"PG AutoFunc window's X position", "Auto-functions' parameters X"},
    {"PG AutoFunc window's Y position", "Auto-functions' parameters Y"},
    {"Registry dump window's X position", "Sensor's registers' overview X"},
    {"Registry dump window's Y position", "Sensor's registers' overview Y"},
}};

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A stored 32-bit number; a registry DWORD may come back unsigned, so both ranges are taken.
std::optional<int32_t> toNumber(const QVariant& value) {
    bool ok = false;
    const qlonglong n = value.typeId() == QMetaType::QString
                            ? value.toString().trimmed().toLongLong(&ok, 10)
                            : value.toLongLong(&ok);
    if (!ok) return std::nullopt;
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(n & 0xFFFFFFFF));
}

std::optional<std::string> toText(const QVariant& value) {
    // An unquoted INI value with commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    if (!value.canConvert<QString>()) return std::nullopt;
    return value.toString().toStdString();
}

QString geometryKey(std::string_view title, const char* suffix) {
    return qs(title) + QString::fromLatin1(suffix);
}

std::unique_ptr<QSettings> openSettings(const std::string& path) {
    if (path.empty()) {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QString::fromLatin1(kOrganisation),
                                           QString::fromLatin1(kApplication));
    }
    return std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat);
}

}  // namespace

PreferencesStorage::PreferencesStorage() = default;

PreferencesStorage::PreferencesStorage(std::string path) : m_path(std::move(path)) {}

PreferencesReadResult PreferencesStorage::readAll(Preferences& preferences) const {
    PreferencesReadResult result;
    auto settings = openSettings(m_path);
    if (settings->status() != QSettings::NoError) {
        result.storageError = true;
        return result;
    }
    settings->beginGroup(QString::fromLatin1(kGroup));
    for (const Preference& p : preferences.entries()) {
        const QString key = qs(p.name);
        if (!settings->contains(key)) continue;
        const QVariant value = settings->value(key);
        if (p.numeric) {
            if (auto n = toNumber(value)) {
                preferences.setNumber(p.name, *n);
            } else {
                result.failed.push_back(p.name);
            }
        } else if (auto text = toText(value)) {
            preferences.setText(p.name, *text);
        } else {
            result.failed.push_back(p.name);
        }
    }
    return result;
}

bool PreferencesStorage::writeAll(const Preferences& preferences, ApiLog& log) const {
    auto settings = openSettings(m_path);
    settings->beginGroup(QString::fromLatin1(kGroup));
    for (const Preference& p : preferences.entries()) {
        if (p.numeric) {
            settings->setValue(qs(p.name), p.number);
        } else {
            settings->setValue(qs(p.name), qs(p.text));
        }
    }
    settings->endGroup();
    settings->sync();
    // A write that failed must not read as saved.
    const bool ok = settings->status() == QSettings::NoError;
    if (ok) {
        log.appendText(false, "Preferences updated into Windows registry");
    } else {
        log.appendText(
            true, "The preferences could not be written to " + settings->fileName().toStdString());
    }
    return ok;
}

StoredGeometry PreferencesStorage::readGeometry(std::string_view title) const {
    StoredGeometry g;
    if (title.empty()) return g;
    auto settings = openSettings(m_path);
    settings->beginGroup(QString::fromLatin1(kGroup) + '/' + QString::fromLatin1(kGeometryGroup));
    const auto read = [&](const char* suffix) -> std::optional<int32_t> {
        const QString key = geometryKey(title, suffix);
        return settings->contains(key) ? toNumber(settings->value(key)) : std::nullopt;
    };
    g.x = read(" X");
    g.y = read(" Y");
    g.w = read(" W");
    g.h = read(" H");
    return g;
}

void PreferencesStorage::writeGeometry(std::string_view title, const WindowRect& rect,
                                       bool resizable) const {
    if (title.empty()) return;
    auto settings = openSettings(m_path);
    settings->beginGroup(QString::fromLatin1(kGroup) + '/' + QString::fromLatin1(kGeometryGroup));
    settings->setValue(geometryKey(title, " X"), rect.x);
    settings->setValue(geometryKey(title, " Y"), rect.y);
    if (resizable) {
        settings->setValue(geometryKey(title, " W"), rect.w);
        settings->setValue(geometryKey(title, " H"), rect.h);
    }
    settings->endGroup();
    settings->sync();
}

bool PreferencesStorage::migrateGeometry() const {
    auto settings = openSettings(m_path);
    const QString profile = QString::fromLatin1(kGroup);
    const QString geometry = profile + '/' + QString::fromLatin1(kGeometryGroup);
    settings->beginGroup(geometry);
    const bool exists = !settings->allKeys().isEmpty();
    settings->endGroup();
    if (exists) return false;

    for (const auto& [oldName, newName] : kGeometryMigration) {
        const QString oldKey = profile + '/' + QString::fromLatin1(oldName);
        if (!settings->contains(oldKey)) continue;
        if (auto n = toNumber(settings->value(oldKey))) {
            settings->setValue(geometry + '/' + QString::fromLatin1(newName), *n);
        }
    }
    settings->sync();
    return true;
}

}  // namespace TVR

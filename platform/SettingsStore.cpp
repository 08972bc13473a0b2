#include "platform/SettingsStore.h"

#include <QSettings>

#include <cstdint>
#include <limits>
#include <utility>

namespace {

// Only the user's own branch counts: no system-wide fallbacks.
struct UserSettings {
    UserSettings(const QString& company, const QString& application)
        : settings(QSettings::NativeFormat, QSettings::UserScope, company, application) {
        settings.setFallbacksEnabled(false);
    }
    QSettings settings;
};

QString Key(const QString& section, const QString& entry) {
    return section + u'/' + entry;
}

}  // namespace

bool ParseProfileInt(const QString& text, int& value) {
    bool ok = false;
    const qlonglong number = text.trimmed().toLongLong(&ok, 10);
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    return true;
}

CSettingsStore::CSettingsStore(QString company, QString application)
    : company_(std::move(company)), application_(std::move(application)) {}

int CSettingsStore::GetProfileInt(const QString& section, const QString& entry,
                                  int defaultValue) const {
    UserSettings user(company_, application_);
    if (user.settings.status() != QSettings::NoError)
        return defaultValue;
    const QVariant stored = user.settings.value(Key(section, entry));
    int value = defaultValue;
    if (!stored.isValid() || !ParseProfileInt(stored.toString(), value))
        return defaultValue;
    return value;
}

Status CSettingsStore::WriteProfileInt(const QString& section, const QString& entry, int value) {
    UserSettings user(company_, application_);
    user.settings.setValue(Key(section, entry), value);
    user.settings.sync();
    switch (user.settings.status()) {
        case QSettings::NoError:
            return {};
        case QSettings::AccessError:
            return Status::Failure(QStringLiteral("cannot write %1").arg(user.settings.fileName()));
        case QSettings::FormatError:
            break;
    }
    return Status::Failure(QStringLiteral("%1 is malformed").arg(user.settings.fileName()));
}

QString CSettingsStore::Location() const {
    return UserSettings(company_, application_).settings.fileName();
}

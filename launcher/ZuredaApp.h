#pragma once

// The launcher the user starts: on the first use it asks for agreement to the
// license, then it starts the main program next to it and waits for it.
// Only one launcher runs at a time; a second one ends at once.

#include <QString>

class CZuredaApp {
  public:
    // `folder` holds the agreement texts and pelmora.bin, with a trailing
    // separator; empty means the launcher's own folder.
    explicit CZuredaApp(QString folder = {});

    // The launcher's whole work. Always false: there is no event loop after it.
    bool InitInstance();

    static constexpr char kMarkerName[] = "PelmoraZureda";
    static constexpr char kMainProgram[] = "pelmora.bin";
    static constexpr char kJapaneseAgreement[] = "licensef.txt";
    static constexpr char kEnglishAgreement[] = "licensef_e.txt";

  private:
    bool Agreed() const;

    QString folder_;
};

// Starts `program` without arguments and waits for it to end, letting paints
// through meanwhile. Returns its exit code, or 0 when it cannot be started.
int StartAndWait(const QString& program);

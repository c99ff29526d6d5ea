// The result codes of a calculation and the messages the front end shows for them. The module
// writes 1, 0, -2 ... -6 into "kq4.err"; the codes below -6 are set by the front end itself.
#pragma once

#include <optional>
#include <string>

#include "model/message.h"

namespace calcctl {

inline constexpr int kCodeMaxMet = 1;           // all requirements met, results written
inline constexpr int kCodeOk = 0;               // normal end
inline constexpr int kCodeAborted = -1;         // the module reports an abort
inline constexpr int kCodeMinimal = -2;         // minimal requirements cannot be met
inline constexpr int kCodeInput = -3;           // the module rejected its input
inline constexpr int kCodeTooLarge = -4;        // fixed limits exceeded
inline constexpr int kCodeResonance = -5;       // resonance
inline constexpr int kCodeEtaGrid = -6;         // too many frequency-ratio values
inline constexpr int kCodeNotStarted = -10;     // the module could not be started
inline constexpr int kCodeLocked = -20;         // another calculation holds "KQ4Call"
inline constexpr int kCodeNoAnswer = -30;       // no readable "kq4.err", or the module crashed
inline constexpr int kCodeUserAbort = -100;     // stopped by the user
inline constexpr int kCodeUploadTimeout = -201; // remote: transfer timed out
inline constexpr int kCodeNoConnection = -202;  // remote: no connection to the host

// Texts of the calculation control.
inline constexpr const char* kTextMaxMet =
    "Die Maximalforderungen werden erfüllt.\r-> Strengere Restriktionen (Spektrum) sind möglich";
inline constexpr const char* kTextAborted = "Berechnung wurde abgebrochen.";
inline constexpr const char* kTextMinimal = "Minimalforderungen sind nicht erfüllbar.";
inline constexpr const char* kTextTooLarge = "Das System ist zu groß.";
inline constexpr const char* kTextResonance = "Abbruch der Berechnung wegen Resonanz.";
inline constexpr const char* kTextNotStarted =
    "Der Berechnungsmodul konnte nicht gestartet werden.";
inline constexpr const char* kTextLocked =
    "Es läuft bereits eine HS-Berechnung.\rBitte warten Sie auf deren Abschluß.";
inline constexpr const char* kTextNoAnswer = "Der Berechnungsmodul liefert keine Rückmeldung";
inline constexpr const char* kTextUserAbort = "Abbruch durch das Shell-Programm.";
inline constexpr const char* kTextUploadTimeout = "Timeout bei Filetransfer zum Host.";
inline constexpr const char* kTextNoConnection = "Verbindung zum Host fehlgeschlagen.";
inline constexpr const char* kTextUnknown = "Unbekannter Fehler: ";
inline constexpr const char* kTextInput =
    "Der Berechnungsmodul hat die Eingabedaten zurückgewiesen (Eingabefehler).";
inline constexpr const char* kTextEtaGrid =
    "Der Bereich des Frequenzverhältnisses eta erfordert zu viele Zwischenwerte.\rBitte "
    "verkleinern Sie den Bereich zwischen eta min und eta max.";
inline constexpr const char* kTextDerivationFailed =
    "Fehler bei der Berechnung der Fourierkoeffizienten\rder resultierenden Bewegung!";
inline constexpr const char* kTextNoResults = "Die Berechnung liefert keine Ergebnisse";
inline constexpr const char* kTextStopQuestion = "HS-Optimierung abbrechen?";
inline constexpr const char* kTextScreenSaverOff = "Bildschirmschoner deaktiviert.";

// The message shown for a result code, or none (0 and the user's own abort -100). For -3 the
// caller appends the rejected record (see rejectedRecordText).
std::optional<model::Message> codeMessage(int code);

// The lines of the module's listing that name a rejected input record (" Fehlerhafter
// Datensatz: " with the number, then its integers and reals), or the note that no start record
// was found; empty when the listing names neither.
std::string rejectedRecordText(const std::string& listing);

} // namespace calcctl

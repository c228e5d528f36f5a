#pragma once

#include <QString>
#include <QStringList>

class TUiTestEnvironment;

// What the kinds test plugin records; it outlives the plugin's instances (a plugin loaded as
// needed is made anew at each load).
struct TKindsRecord {
    int SetupEdit = 0;
    QStringList Delivered;  // "Mode=c", "Set#1", "Set=c", "Boxes.user=bob", ...
    QStringList Verified;   // "user=bob", ...
};

inline const QString KKindsID = QStringLiteral("zq_test_Kinds");
inline const QString KKindsMailID = QStringLiteral("zq_test_KindsMail");

// Adds two plugins loaded as needed to the environment and reloads its plugins:
// "zq_test_Kinds" (files and directories) declares "Mode" (single choice a, b, c with b checked),
// "Set" (multiple choice a, b, c with a and c checked) and "Boxes" (text boxes "user" with
// "anna" and "port" with "21", both services, help "Who and where."); it refuses a port that is
// no number ("Port is wrong." / "Write a number."). "zq_test_KindsMail" is the same with an
// e-mail and a web address in its information.
void AddKindsPlugins(TUiTestEnvironment& AEnv, TKindsRecord& ARecord);

/* Example external plugin for Plovane: "Append Line".
 *
 * For every file whose extension is listed (and enabled) in its "Extensions" grid, it either
 * appends a line of text followed by a footer document to the file, or renames the file by
 * appending a suffix to its name. It shows the whole plugin contract: the information record,
 * property declaration (a single choice, text boxes, a grid and a file document with a default
 * file shipped beside the library), the pre-edit defaults, validation with error reports, value
 * delivery at batch start, the per-path work on several threads at once, and problem reports
 * into the batch log.
 *
 * Threads: every entry point except PluginWorkPath is called from one thread at a time. The
 * configuration below is written only by the setup calls of a batch (PluginSetupWorkStart up to
 * PluginSetupWorkStartDone) and only read by PluginWorkPath, which the host calls on several
 * worker threads at once; PluginWorkPath itself keeps everything it changes in locals.
 *
 * Loading scheme: plsPreferKeepInMemory: loaded at discovery and kept until the program ends or
 * the plugins are reloaded. The configuration lives in this library's memory from
 * PluginSetupWorkStart to PluginSetupWorkEnd. A library loaded only as needed
 * (plsCanDynamicAsNeeded) would work as well: the host loads it for each batch combination that
 * uses it and keeps it loaded until the combination's PluginSetupWorkEnd has returned; only
 * state kept from discovery or editing to the batch would be lost. */
#define _POSIX_C_SOURCE 200809L /* link, unlink, strerror_r */

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
/* A Windows build replaces FileAppend and FileRenameNoReplace with the wide-character calls. */
#error "This example uses the POSIX file functions."
#else
#include <unistd.h>
#endif

#include "plovane_plugin.h"

/* Property and item names: identifiers are plain ASCII, so they read the same in every ANSI
 * code page. */
#define PROP_ACTION "Action"
#define PROP_TEXTS "Texts"
#define PROP_EXTENSIONS "Extensions"
#define PROP_FOOTER "Footer"
#define CHOICE_APPEND "AppendText"
#define CHOICE_SUFFIX "AddSuffix"
#define BOX_LINE "Line"
#define BOX_SUFFIX "Suffix"
#define COL_EXTENSION "Extension"
#define COL_ENABLED "Enabled"
#define FOOTER_FILE u"default.txt"
#define FOOTER_PLACEHOLDER "{name}"
#define FOOTER_PLACEHOLDER_W u"{name}"

#define DEFAULT_LINE u"Processed by Plovane"
#define DEFAULT_SUFFIX u".done"

static TPluginInfo GInfo = {
    .StrID = u"org.plovane.example.AppendLine",
    .Author = u"The Plovane developers",
    .CopyRight = u"Free to copy as the start of your own plugin",
    .PluginName = u"AppendLine",
    .PluginDesc =
        u"Appends a line and a footer to files, or adds a suffix to their names (example plugin).",
    .HasCompany = NULL,
    .HasEmail = NULL,
    .HasUrl = NULL,
    .CanLaunchFilesSep = u",",
    .CanLaunchFilesList = FOOTER_FILE,
    .CanMultiThreadWork = 1,
    .PluginLoadingScheme = plsPreferKeepInMemory,
    .HasLogo = NULL,
    .SuggestedExts = u".txt,.log",
    .PluginVersion = u"1.00",
    .InterfaceVersion = u"" PLOVANE_PLUGIN_INTERFACE_VERSION,
    .PluginCategory = pcFileProcessing,
    .CanWorkCategory = PLV_CAN_WORK_FILES,
    .ReleaseState = PLV_RELEASE_STABLE,
};

/* ---- Small string helpers ------------------------------------------------------------------- */

static size_t WLen(TPlvWStr AText) {
    size_t n = 0;
    if (AText != NULL)
        while (AText[n] != 0)
            ++n;
    return n;
}

static int WEqualsA(TPlvWStr AText, const char* AAscii) {
    size_t i = 0;
    if (AText == NULL)
        return AAscii[0] == 0;
    for (; AText[i] != 0 && AAscii[i] != 0; ++i)
        if (AText[i] != (TPlvWChar)(unsigned char)AAscii[i])
            return 0;
    return AText[i] == 0 && AAscii[i] == 0;
}

static int AEquals(TPlvAStr AText, const char* AOther) {
    return strcmp(AText != NULL ? AText : "", AOther) == 0;
}

static TPlvWChar AsciiLower(TPlvWChar AChar) {
    return (AChar >= u'A' && AChar <= u'Z') ? (TPlvWChar)(AChar - u'A' + u'a') : AChar;
}

/* A heap copy of a W-string (null stays null only when out of memory). */
static TPlvWChar* WDup(TPlvWStr AText) {
    const size_t n = WLen(AText);
    TPlvWChar* copy = malloc((n + 1) * sizeof *copy);
    if (copy == NULL)
        return NULL;
    if (n > 0)
        memcpy(copy, AText, n * sizeof *copy);
    copy[n] = 0;
    return copy;
}

/* UTF-16 to zero-terminated UTF-8; a lone surrogate becomes U+FFFD. Null when out of memory. */
static char* ToUtf8(const TPlvWChar* AText, size_t ACount) {
    /* One UTF-16 unit needs at most three bytes; a surrogate pair (two units) needs four. */
    char* out = malloc(ACount * 3 + 1);
    size_t o = 0;
    if (out == NULL)
        return NULL;
    for (size_t i = 0; i < ACount; ++i) {
        unsigned long c = AText[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < ACount && AText[i + 1] >= 0xDC00 &&
            AText[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (AText[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out[o++] = (char)c;
        } else if (c < 0x800) {
            out[o++] = (char)(0xC0 | (c >> 6));
            out[o++] = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[o++] = (char)(0xE0 | (c >> 12));
            out[o++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[o++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[o++] = (char)(0xF0 | (c >> 18));
            out[o++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[o++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[o++] = (char)(0x80 | (c & 0x3F));
        }
    }
    out[o] = 0;
    return out;
}

/* The whole content of a file, zero-terminated; *ASize gets its length. Null when it cannot be
 * read. */
static char* ReadWholeFile(TPlvWStr APath, size_t* ASize) {
    char* path = ToUtf8(APath, WLen(APath));
    char* data = NULL;
    size_t size = 0;
    FILE* file = path != NULL ? fopen(path, "rb") : NULL;
    free(path);
    if (file == NULL)
        return NULL;
    for (;;) {
        char chunk[4096];
        const size_t got = fread(chunk, 1, sizeof chunk, file);
        if (got == 0)
            break;
        char* grown = realloc(data, size + got + 1);
        if (grown == NULL) {
            free(data);
            fclose(file);
            return NULL;
        }
        data = grown;
        memcpy(data + size, chunk, got);
        size += got;
    }
    const int failed = ferror(file);
    fclose(file);
    if (failed) {
        free(data);
        return NULL;
    }
    if (data == NULL)
        data = calloc(1, 1);
    if (data != NULL)
        data[size] = 0;
    *ASize = size;
    return data;
}

/* ---- The configuration of the running batch ------------------------------------------------ */

typedef struct TExtensionRow {
    TPlvWChar* Extension; /* as typed, e.g. ".txt" */
    int Enabled;
} TExtensionRow;

typedef struct TWorkConfig {
    const TExeWorkCallbacks* Callbacks; /* the host's table, valid for the whole program run */
    int AddSuffix;                      /* 0: append the line and footer; 1: rename */
    TPlvWChar* Line;
    TPlvWChar* Suffix;
    char* LineUtf8;
    TExtensionRow* Rows;
    int RowCapacity;
    char* Footer; /* UTF-8 bytes of the footer document */
    size_t FooterSize;
    TPlvWStr SetupError; /* a setup call could not keep a value: every path reports this */
} TWorkConfig;

static TWorkConfig GWork;

static const TPlvWChar KOutOfMemory[] = u"The plugin ran out of memory at batch start.";

static void FreeWorkConfig(void) {
    free(GWork.Line);
    free(GWork.Suffix);
    free(GWork.LineUtf8);
    if (GWork.Rows != NULL)
        for (int i = 0; i < GWork.RowCapacity; ++i)
            free(GWork.Rows[i].Extension);
    free(GWork.Rows);
    free(GWork.Footer);
    memset(&GWork, 0, sizeof GWork);
}

static void ReplaceText(TPlvWChar** ATarget, TPlvWStr AValue) {
    TPlvWChar* copy = WDup(AValue);
    if (copy == NULL) {
        GWork.SetupError = KOutOfMemory;
        return;
    }
    free(*ATarget);
    *ATarget = copy;
}

/* The boolean rule of grid cells: empty is true here (the column's default), "0" or a first
 * letter F or N is false, everything else true. */
static int CellIsTrue(TPlvWStr AValue) {
    if (AValue == NULL || AValue[0] == 0)
        return 1;
    if (AValue[0] == u'0' && AValue[1] == 0)
        return 0;
    const TPlvWChar first = AsciiLower(AValue[0]);
    return first != u'f' && first != u'n';
}

/* ---- Reports into the batch log ------------------------------------------------------------ */

static void ReportW(TPlvWStr AError, TPlvWStr AAdvice) {
    if (GWork.Callbacks != NULL && GWork.Callbacks->ExeHandleWorkPathErrorMsgW != NULL)
        GWork.Callbacks->ExeHandleWorkPathErrorMsgW(AError, AAdvice);
}

/* A system error, through the A-string variant (the text is built here, in ASCII). */
static void ReportErrno(const char* AWhat, int AError) {
    char reason[160] = "unknown reason";
    char message[256];
    if (strerror_r(AError, reason, sizeof reason) != 0)
        snprintf(reason, sizeof reason, "error %d", AError);
    snprintf(message, sizeof message, "%s: %s", AWhat, reason);
    if (GWork.Callbacks != NULL && GWork.Callbacks->ExeHandleWorkPathErrorMsg != NULL)
        GWork.Callbacks->ExeHandleWorkPathErrorMsg(
            message, "Check that the file exists and may be written.");
}

/* ---- Entry points: information and declaration --------------------------------------------- */

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    return &GInfo;
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo* AExeInfo, TExeInitCallbacks* ACallbacks) {
    (void)AExeInfo;
    ACallbacks->ExeMakePropName(
        PROP_ACTION, u"Action", vtpChoiceSingle, 0, u"What to do with a matching file",
        u"Either append the line and the footer to the file, or add the suffix to its name.");
    ACallbacks->ExeMakePropName(PROP_TEXTS, u"Texts", vptTextBoxes, 0,
                                u"The line to append and the suffix",
                                u"Neither may be empty; the suffix must not contain \"/\".");
    ACallbacks->ExeMakePropName(
        PROP_EXTENSIONS, u"Extensions", vptGrid, 0, u"Which files are worked on",
        u"A file is worked on when its extension (compared ignoring case) is in an "
        u"enabled row.");
    ACallbacks->ExeMakePropName(PROP_FOOTER, u"Footer", vptFile, PLV_SERVICE_OPEN_TEXT_EDITOR,
                                u"Text appended after the line",
                                u"\"{name}\" is replaced by the name of the file.");
    /* Rows whose cells are all blank are left out before validation and delivery. */
    ACallbacks->ExeSetPropMetasGrid(PROP_EXTENSIONS, pgirlAllRowCellsEmptyWhenTrimmed);
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo* AExeInfo, TExePreEditCallbacks* ACallbacks) {
    (void)AExeInfo;
    ACallbacks->ExeSetPropChoiceValueCount(PROP_ACTION, 2);
    ACallbacks->ExeAddPropChoiceValue(PROP_ACTION, CHOICE_APPEND, u"Append the line and the footer",
                                      1);
    ACallbacks->ExeAddPropChoiceValue(PROP_ACTION, CHOICE_SUFFIX,
                                      u"Add the suffix to the file name", 0);

    /* Every count call is followed by exactly that many items: the host stores them in that
     * order and reads them back by the counts. */
    ACallbacks->ExeSetPropTextBoxValueCount(PROP_TEXTS, 2);
    ACallbacks->ExeSetPropTextBoxValue(PROP_TEXTS, BOX_LINE, u"Line to append", DEFAULT_LINE);
    ACallbacks->ExeSetPropTextBoxValue(PROP_TEXTS, BOX_SUFFIX, u"Suffix", DEFAULT_SUFFIX);

    /* Column widths: "80+" is 80 pixels or the widest text, "60" 60 pixels, "30%" a share of
     * the room left; empty means "100%". */
    ACallbacks->ExeSetPropGridColumnCount(PROP_EXTENSIONS, 2);
    ACallbacks->ExeAddPropGridColumn(PROP_EXTENSIONS, COL_EXTENSION, u"Extension", "80+",
                                     PLV_COL_FLAG_ALIGN_LEFT);
    ACallbacks->ExeAddPropGridColumn(PROP_EXTENSIONS, COL_ENABLED, u"Enabled", "60",
                                     PLV_COL_FLAG_ALIGN_CENTER | PLV_COL_FLAG_TRUE_FALSE_LIST);
    /* Every grid gives its default cell count, 0 when it has no default rows: the host reads
     * the count after the columns. */
    ACallbacks->ExeSetPropDefaultGridValueCount(PROP_EXTENSIONS, 4);
    ACallbacks->ExeAddPropDefaultGridValue(PROP_EXTENSIONS, 0, 0, u".txt");
    ACallbacks->ExeAddPropDefaultGridValue(PROP_EXTENSIONS, 1, 0, u"True");
    ACallbacks->ExeAddPropDefaultGridValue(PROP_EXTENSIONS, 0, 1, u".log");
    ACallbacks->ExeAddPropDefaultGridValue(PROP_EXTENSIONS, 1, 1, u"False");

    /* Read by the host from this library's folder. No file flags: plain text (PLV_FILE_FLAG_INI
     * or PLV_FILE_FLAG_MARKUP would choose INI or markup editing). */
    ACallbacks->ExeSetPropDefaultFileValue(PROP_FOOTER, FOOTER_FILE, 0);
}

/* Called when a combination using this plugin is selected. Nothing to prepare: the work
 * callbacks handed here may be kept, but they only work while a batch runs. */
PLV_EXPORT void PLV_CALL PluginSetupEdit(TExeInfo* AExeInfo, TExeWorkCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)ACallbacks;
}

/* ---- Entry points: validation (user-interface thread) -------------------------------------- */

PLV_EXPORT void PLV_CALL
PluginVerifyPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID, TPlvWStr APropValue,
                             TProcExeHandleEditPropTextBoxErrorMsg AExeCallBack) {
    if (!AEquals(APropName, PROP_TEXTS))
        return;
    if (WLen(APropValue) == 0) {
        AExeCallBack(ATextBoxID, u"The value must not be empty.",
                     AEquals(ATextBoxID, BOX_LINE)
                         ? u"Type the line to append to the files."
                         : u"Type the text to add to the file names, e.g. \".done\".");
        return;
    }
    if (AEquals(ATextBoxID, BOX_SUFFIX))
        for (size_t i = 0; APropValue[i] != 0; ++i)
            if (APropValue[i] == u'/') {
                AExeCallBack(
                    ATextBoxID, u"The suffix must not contain \"/\".",
                    u"The suffix is added to the file name; it cannot move the file elsewhere.");
                return;
            }
}

/* The row being verified; verification calls come from one thread, one row at a time. */
static struct {
    int CellIndex;
    int BadColumn;
} GVerifyRow;

PLV_EXPORT void PLV_CALL PluginPrepareVerifyGridRow(TPlvAStr APropName) {
    (void)APropName;
    GVerifyRow.CellIndex = 0;
    GVerifyRow.BadColumn = -1;
}

PLV_EXPORT void PLV_CALL PluginAddVerifyPropGridValue(TPlvAStr APropName, TPlvWStr APropValue) {
    if (AEquals(APropName, PROP_EXTENSIONS) && GVerifyRow.CellIndex == 0 &&
        GVerifyRow.BadColumn < 0) {
        /* An extension is a dot followed by at least one character and no "/". */
        int bad = WLen(APropValue) < 2 || APropValue[0] != u'.';
        for (size_t i = 0; !bad && APropValue[i] != 0; ++i)
            bad = APropValue[i] == u'/';
        if (bad)
            GVerifyRow.BadColumn = 0;
    }
    ++GVerifyRow.CellIndex;
}

PLV_EXPORT void PLV_CALL PluginEndVerifyGridRow(TPlvAStr APropName,
                                                TProcExeHandleEditPropGridErrorMsg AExeCallBack) {
    if (AEquals(APropName, PROP_EXTENSIONS) && GVerifyRow.BadColumn >= 0)
        AExeCallBack(GVerifyRow.BadColumn, u"An extension starts with a dot, for example \".txt\".",
                     u"Write the extension with its leading dot; empty rows are ignored.");
}

/* The editor hands the document as UTF-16LE without a byte-order mark. Every "{" must start the
 * placeholder "{name}". */
PLV_EXPORT void PLV_CALL
PluginVerifyPropFileValue(TPlvAStr APropName, TPlvWStr AFullFilePathName,
                          TProcExeHandleEditPropFileErrorMsg AExeCallBack) {
    size_t size = 0;
    char* bytes;
    if (!AEquals(APropName, PROP_FOOTER))
        return;
    bytes = ReadWholeFile(AFullFilePathName, &size);
    if (bytes == NULL) {
        AExeCallBack(0, u"The footer could not be read for checking.", u"Try again.");
        return;
    }
    const size_t units = size / 2;
    const size_t placeholder = WLen(FOOTER_PLACEHOLDER_W);
    for (size_t i = 0; i < units; ++i) {
        const TPlvWChar c =
            (TPlvWChar)((unsigned char)bytes[2 * i] | ((unsigned char)bytes[2 * i + 1] << 8));
        if (c != u'{')
            continue;
        int matches = i + placeholder <= units;
        for (size_t k = 0; matches && k < placeholder; ++k) {
            const size_t at = 2 * (i + k);
            const TPlvWChar d =
                (TPlvWChar)((unsigned char)bytes[at] | ((unsigned char)bytes[at + 1] << 8));
            matches = d == FOOTER_PLACEHOLDER_W[k];
        }
        if (!matches) {
            AExeCallBack(
                (int32_t)i, u"Unknown placeholder.",
                u"Only \"{name}\" is replaced (by the file name); remove the other \"{\".");
            break;
        }
    }
    free(bytes);
}

/* ---- Entry points: batch setup (batch engine thread) ---------------------------------------- */

PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo* AExeInfo, TWorkStartInfo* AWorkStartInfo,
                                              TExeWorkCallbacks* ACallbacks) {
    (void)AExeInfo;
    (void)AWorkStartInfo;
    /* A plugin may appear in several combinations: each starts from the defaults. */
    FreeWorkConfig();
    GWork.Callbacks = ACallbacks;
    ReplaceText(&GWork.Line, DEFAULT_LINE);
    ReplaceText(&GWork.Suffix, DEFAULT_SUFFIX);
}

PLV_EXPORT void PLV_CALL PluginSetPropChoiceValue(TPlvAStr APropName, TPlvAStr AChoiceID) {
    if (AEquals(APropName, PROP_ACTION))
        GWork.AddSuffix = AEquals(AChoiceID, CHOICE_SUFFIX);
}

PLV_EXPORT void PLV_CALL PluginSetPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID,
                                                   TPlvWStr APropValue) {
    if (!AEquals(APropName, PROP_TEXTS))
        return;
    if (AEquals(ATextBoxID, BOX_LINE))
        ReplaceText(&GWork.Line, APropValue);
    else if (AEquals(ATextBoxID, BOX_SUFFIX))
        ReplaceText(&GWork.Suffix, APropValue);
}

PLV_EXPORT void PLV_CALL PluginSetPropGridValueCount(TPlvAStr APropName, int32_t AValueCount) {
    if (!AEquals(APropName, PROP_EXTENSIONS))
        return;
    for (int i = 0; i < GWork.RowCapacity; ++i)
        free(GWork.Rows[i].Extension);
    free(GWork.Rows);
    GWork.Rows = NULL;
    GWork.RowCapacity = 0;
    if (AValueCount <= 0)
        return;
    /* Every row has at least one cell, so there are at most as many rows as cells. */
    GWork.Rows = calloc((size_t)AValueCount, sizeof *GWork.Rows);
    if (GWork.Rows == NULL) {
        GWork.SetupError = KOutOfMemory;
        return;
    }
    GWork.RowCapacity = AValueCount;
    for (int i = 0; i < AValueCount; ++i)
        GWork.Rows[i].Enabled = 1;
}

PLV_EXPORT void PLV_CALL PluginSetPropGridValue(TPlvAStr APropName, TPlvWStr AColID,
                                                int32_t ARowIdx, TPlvWStr AFieldValue) {
    if (!AEquals(APropName, PROP_EXTENSIONS) || ARowIdx < 0 || ARowIdx >= GWork.RowCapacity)
        return;
    TExtensionRow* row = &GWork.Rows[ARowIdx];
    if (WEqualsA(AColID, COL_EXTENSION))
        ReplaceText(&row->Extension, AFieldValue);
    else if (WEqualsA(AColID, COL_ENABLED))
        row->Enabled = CellIsTrue(AFieldValue);
}

/* The value file holds the document as UTF-8; it is read at once, as the file may be gone later. */
PLV_EXPORT void PLV_CALL PluginSetPropFileValue(TPlvAStr APropName, TPlvWStr AFullFilePathName) {
    if (!AEquals(APropName, PROP_FOOTER))
        return;
    size_t size = 0;
    char* footer = ReadWholeFile(AFullFilePathName, &size);
    if (footer == NULL) {
        GWork.SetupError = u"The footer document could not be read at batch start.";
        return;
    }
    if (size >= 3 && memcmp(footer, "\xEF\xBB\xBF", 3) == 0) {
        memmove(footer, footer + 3, size - 3 + 1);
        size -= 3;
    }
    free(GWork.Footer);
    GWork.Footer = footer;
    GWork.FooterSize = size;
}

PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone(void) {
    GWork.LineUtf8 = ToUtf8(GWork.Line, WLen(GWork.Line));
    if (GWork.LineUtf8 == NULL)
        GWork.SetupError = KOutOfMemory;
}

PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo* AExeInfo) {
    (void)AExeInfo;
    FreeWorkConfig();
}

/* ---- Entry point: the work on one path (worker threads, several at once) ------------------- */

/* Index of the extension's dot in the file name part of APath, or -1. */
static long ExtensionStart(const TPlvWChar* APath, size_t ALength) {
    for (size_t i = ALength; i > 0; --i) {
        if (APath[i - 1] == u'/')
            return -1;
        if (APath[i - 1] == u'.')
            return (long)(i - 1);
    }
    return -1;
}

static int IsSelected(const TPlvWChar* APath, size_t ALength) {
    const long dot = ExtensionStart(APath, ALength);
    if (dot < 0)
        return 0;
    const size_t extLength = ALength - (size_t)dot;
    for (int r = 0; r < GWork.RowCapacity; ++r) {
        const TExtensionRow* row = &GWork.Rows[r];
        if (!row->Enabled || row->Extension == NULL || WLen(row->Extension) != extLength)
            continue;
        size_t k = 0;
        while (k < extLength && AsciiLower(row->Extension[k]) == AsciiLower(APath[(size_t)dot + k]))
            ++k;
        if (k == extLength)
            return 1;
    }
    return 0;
}

/* Appends the line, a line break and the footer ("{name}" replaced by AName). 0 or an errno. */
static int FileAppend(const char* APath, const char* AName) {
    FILE* file = fopen(APath, "ab");
    if (file == NULL)
        return errno != 0 ? errno : EIO;
    int ok = fputs(GWork.LineUtf8, file) >= 0 && fputc('\n', file) != EOF;
    const size_t placeholder = strlen(FOOTER_PLACEHOLDER);
    size_t start = 0;
    for (size_t i = 0; ok && i <= GWork.FooterSize; ++i) {
        const int atEnd = i == GWork.FooterSize;
        const int atPlaceholder = !atEnd && i + placeholder <= GWork.FooterSize &&
                                  memcmp(GWork.Footer + i, FOOTER_PLACEHOLDER, placeholder) == 0;
        if (!atEnd && !atPlaceholder)
            continue;
        ok = fwrite(GWork.Footer + start, 1, i - start, file) == i - start;
        if (ok && atPlaceholder) {
            ok = fputs(AName, file) >= 0;
            i += placeholder - 1;
            start = i + 1;
        }
    }
    const int error = ok ? 0 : (errno != 0 ? errno : EIO);
    if (fclose(file) != 0 && ok)
        return errno != 0 ? errno : EIO;
    return error;
}

/* Renames without replacing an existing file: a new link fails when the name is taken. */
static int FileRenameNoReplace(const char* AFrom, const char* ATo) {
    if (link(AFrom, ATo) != 0)
        return errno;
    if (unlink(AFrom) != 0) {
        const int error = errno;
        unlink(ATo);
        return error;
    }
    return 0;
}

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps AIn,
                                        PPluginPassedWriteOutProps AOut) {
    const TPlvWChar* path = AIn->WorkPathNameIn;
    const size_t length = WLen(path);
    if (GWork.SetupError != NULL) {
        ReportW(GWork.SetupError, u"Nothing was done to the file; run the batch again.");
        return;
    }
    if (length == 0 || path[length - 1] == u'/' || !IsSelected(path, length))
        return;

    if (!GWork.AddSuffix) {
        char* fsPath = ToUtf8(path, length);
        if (fsPath == NULL) {
            ReportW(u"Out of memory.", u"");
            return;
        }
        const char* slash = strrchr(fsPath, '/');
        const int error = FileAppend(fsPath, slash != NULL ? slash + 1 : fsPath);
        free(fsPath);
        if (error != 0)
            ReportErrno("Could not append to the file", error);
        return; /* the path stays as it is */
    }

    const size_t suffixLength = WLen(GWork.Suffix);
    if (suffixLength == 0)
        return;
    if (length + suffixLength > PLV_SAFE_PATH_MAX_CHARS) {
        ReportW(u"The new name would be too long.", u"Use a shorter suffix.");
        return;
    }
    TPlvWChar newPath[PLV_SAFE_PATH_MAX_CHARS + 1];
    memcpy(newPath, path, length * sizeof *newPath);
    memcpy(newPath + length, GWork.Suffix, suffixLength * sizeof *newPath);
    newPath[length + suffixLength] = 0;

    char* from = ToUtf8(path, length);
    char* to = ToUtf8(newPath, length + suffixLength);
    const int error = (from == NULL || to == NULL) ? ENOMEM : FileRenameNoReplace(from, to);
    free(from);
    free(to);
    if (error == EEXIST) {
        ReportW(u"A file with the new name already exists; the file keeps its name.",
                u"Remove or rename the other file, or choose another suffix.");
        return;
    }
    if (error != 0) {
        ReportErrno("Could not rename the file", error);
        return;
    }
    /* Tell the host where the file is now. */
    memset(*AOut->WorkPathNameOut, 0, PLV_SAFE_PATH_BYTES);
    memcpy(*AOut->WorkPathNameOut, newPath, (length + suffixLength) * sizeof *newPath);
}

/* Each export has exactly the type the interface header gives its entry point. */
#define PLV_CHECK_ENTRY_POINT(Name)                           \
    _Static_assert(_Generic(&Name, T##Name : 1, default : 0), \
                   #Name " does not match the interface header")
PLV_CHECK_ENTRY_POINT(PluginReturnInfo);
PLV_CHECK_ENTRY_POINT(PluginSetupInit);
PLV_CHECK_ENTRY_POINT(PluginSetupPreEdit);
PLV_CHECK_ENTRY_POINT(PluginSetupEdit);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkStart);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkStartDone);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkEnd);
PLV_CHECK_ENTRY_POINT(PluginWorkPath);
PLV_CHECK_ENTRY_POINT(PluginSetPropChoiceValue);
PLV_CHECK_ENTRY_POINT(PluginVerifyPropTextBoxValue);
PLV_CHECK_ENTRY_POINT(PluginSetPropTextBoxValue);
PLV_CHECK_ENTRY_POINT(PluginPrepareVerifyGridRow);
PLV_CHECK_ENTRY_POINT(PluginAddVerifyPropGridValue);
PLV_CHECK_ENTRY_POINT(PluginEndVerifyGridRow);
PLV_CHECK_ENTRY_POINT(PluginSetPropGridValueCount);
PLV_CHECK_ENTRY_POINT(PluginSetPropGridValue);
PLV_CHECK_ENTRY_POINT(PluginVerifyPropFileValue);
PLV_CHECK_ENTRY_POINT(PluginSetPropFileValue);

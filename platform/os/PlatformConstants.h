#pragma once

#include <QString>

// The MediaInfo shared object as a string literal, for the library's own loader header.
#define VX_MEDIAINFO_LIBRARY "libmediainfo.so.0"

// Every place where the Windows product and this build differ: the Windows value as the product
// ships it, and the local equivalent beside it. Nothing else in the code names a drive, an ".exe"
// or a backslash.
class PlatformConstants
{
public:
    // The shared temporary folder; each running program keeps its intermediate files in a private
    // subfolder of it (TempFolder). Windows: "C:/VxTemp/". Here: a folder of the user
    // ("<cache>/VxTemp/", mode 0700).
    static constexpr const char* kWindowsTempFolder = "C:/VxTemp/";
    static QString tempFolder();
    // Creates the temporary folder when it is missing, readable and writable by its owner only.
    // False when it cannot be made.
    static bool makeTempFolder();

    // Whether two paths that differ only in case name the same file. Windows: yes. Here: no.
    static constexpr bool kWindowsPathsIgnoreCase = true;
    static bool pathsIgnoreCase();

    // Suffix of program files. Windows: ".exe". Here: none.
    static constexpr const char* kWindowsExeSuffix = ".exe";
    static QString exeSuffix();

    // Separator of the compression tool's path. Windows: '\'. Here: '/'.
    static constexpr char kWindowsSeparator = '\\';
    static QChar nativeSeparator();
    // The same separator as the one character the core's file helpers look for in their paths.
    static char separatorChar();

    // Longest path text the runtime library's path buffers hold. Windows: MAX_PATH, 260 characters.
    // Here: PATH_MAX.
    static constexpr int kWindowsMaxPath = 260;
    static int maxPath();

    // Locale of the GBK text conversions (code page 936): SystemConstants, the Qt-free part of these
    // values, which the extension library shares.
    static const char* gbkLocaleName();

    // Tool locations under the application folder A. Windows: A + "/ffmpeg.exe",
    // A + "/pngquant64/pngquant.exe", bare "convert.exe" and "gifsicle.exe",
    // A + "/docTool/Trellant35.exe" or "Trellant40.exe", and A (backslashes) + "\tool\Squimble.exe".
    // Here the same layout without ".exe"; a tool that is not beside the program is taken from PATH,
    // so Debian's ffmpeg, pngquant, convert and gifsicle serve.
    static QString ffmpegPath();
    static QString pngquantPath();
    static QString convertProgram();
    static QString gifsicleProgram();
    static QString docToolPath(bool dotNet4);
    static QString compressionToolPath();

    // The program a child process is started with. Windows looks for a bare program name ("convert.exe")
    // in the application folder first, then on PATH; here the same search is made by hand. A name with a
    // folder in it is returned unchanged, and so is a bare name found nowhere (its start then fails).
    static QString findProgram(const QString& program);

    // Shared object of the MediaInfo library. Windows: "MediaInfo.dll". Here: "libmediainfo.so.0"
    // (VX_MEDIAINFO_LIBRARY below, a literal because the library's loader header joins it to others).
    static constexpr const char* kWindowsMediaInfoLibrary = "MediaInfo.dll";
    static QString mediaInfoLibrary();

    // Registry key of the .NET Framework 4 set-up, probed for the document tool's variant.
    // Windows: the registry. Here there is no registry, so the probe finds no keys.
    static constexpr const char* kDotNet4SetupKey =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";
    // Folder of the .NET Framework installations. Here: none.
    static constexpr const char* kWindowsDotNetFolder = "C:/Windows/Microsoft.NET/Framework/";
    static QString dotNetFolder();

private:
    // A + relative, or the program's bare name found on PATH when nothing is beside the program.
    static QString besideOrOnPath(const QString& relative, const QString& bareName);
};

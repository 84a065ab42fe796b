// wine-box-text: prints the message of an open message box, found by its
// caption, so the Wine tests can check the exact text a user would read.
//   wine-box-text.exe CAPTION     exit 0 and the text, or 1 if no such box
// A message box is a dialog (class #32770) whose text is the static
// control with id 0xFFFF.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: wine-box-text CAPTION\n");
        return 2;
    }
    HWND box = FindWindowA("#32770", argv[1]);
    if (box == NULL) return 1;
    char text[1024];
    int length = GetDlgItemTextA(box, 0xFFFF, text, (int)sizeof text);
    if (length <= 0) return 1;
    // Byte for byte: no CR added before the line feeds.
    _setmode(_fileno(stdout), _O_BINARY);
    fwrite(text, 1, (size_t)length, stdout);
    fputc('\n', stdout);
    return 0;
}

/* A program built against an installed engine, outside the source tree: it starts the
 * engine headless, draws one frame, saves it and checks that the frame shows the
 * background colour it asked for. Plain C, so the public header is checked as C too. */
#include <kve.h>
#include <stdio.h>

#define BACKGROUND ((int)0xFF336699) /* 0xAABBGGRR: red 0x99, green 0x66, blue 0x33 */

int main(int argc, char** argv)
{
    const char* shot = argc > 1 ? argv[1] : "consumer.png";
    int window = KVE_OpenWindow("Korvane Engine consumer", 160, 120, 1);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32)) {
        fprintf(stderr, "consumer: no OpenGL 3.3 surface\n");
        return 1;
    }
    KVE_SetBackgroundColor(BACKGROUND);
    KVE_RenderScene(-1);
    int saved = KVE_SaveScreenshot(shot);
    KVE_FlipBuffers();

    KVE_IMAGE* image = saved ? KVE_LoadImage(-1, shot) : NULL;
    int pixel = image ? KVE_GetImagePoint(KVE_GetImageNumber(image), width / 2, height / 2) : 0;
    KVE_Shutdown();
    if ((pixel & 0xFFFFFF) != (BACKGROUND & 0xFFFFFF)) {
        fprintf(stderr, "consumer: the frame's centre is %06X, not the background %06X\n", pixel & 0xFFFFFF,
                BACKGROUND & 0xFFFFFF);
        return 1;
    }
    printf("consumer: frame drawn, background %06X\n", pixel & 0xFFFFFF);
    return 0;
}

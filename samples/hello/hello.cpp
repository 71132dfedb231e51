// Hello: a window with the engine's logo as a slowly turning sprite and a greeting in the
// built-in font. Escape or closing the window quits. Given a file name, it draws 10
// frames, saves the last one there as a PNG and quits (its test runs it so, headless).
#include <kve.h>

#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    const char* screenshot = argc > 1 ? argv[1] : nullptr;

    // A window, and the engine started on its whole client area.
    const int window = KVE_OpenWindow("Korvane Engine - Hello", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;
    if (screenshot)
        KVE_SetFixedFrameTime(1.0f / 30.0f); // the same picture on every run
    // The data lies in Resources beside the program; the log stays where it started.
    std::error_code ignored;
    std::filesystem::current_path(std::string(KVE_GetExecutableDirectory()) + "Resources", ignored);

    // The logo: a texture, a sprite material that shows it, and a sprite of 200 pixels.
    const int logo = 1;
    KVE_LoadTextureFile(logo, "logo.png", KVE_DEFAULT, 0, "Logo");
    KVE_CreateMaterial(logo, logo, KVE_SHADER_TEXTURED_SPRITE, "Logo");
    KVE_CreateSprite(logo, logo, 0, 0);
    KVE_SetSpriteSize(logo, 200.0f, 200.0f);

    // The greeting, centred under the logo in the built-in font at twice its size.
    const int font = KVE_GetDefaultFont(KVE_FONT_LARGE);
    const char* greeting = "Hello from the Korvane Engine!";
    float textWidth = 0.0f, textHeight = 0.0f;
    KVE_MeasureText(font, greeting, KVE_DEFAULT_FLOAT, &textWidth, &textHeight);

    KVE_SetBackgroundColor(static_cast<int>(0xFF3A2A22)); // 0xAABBGGRR: a dark slate blue
    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);

        KVE_RenderScene(-1); // no 3D content: clears to the background
        KVE_RotateSprite(logo, 15.0f * KVE_GetFrameTime(), 1);
        KVE_DrawSprite(logo, width / 2.0f, height / 2.0f - 40.0f);
        KVE_DrawText(font, (width - textWidth) / 2.0f, height / 2.0f + 90.0f, greeting, KVE_DEFAULT, KVE_DEFAULT_FLOAT,
                     KVE_DEFAULT_FLOAT);

        if (screenshot && frame == 10) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    KVE_Shutdown();
    return 0;
}

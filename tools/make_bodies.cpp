// Makes the demo's body file "Plane.kvb": the ground's collision shape matching
// "Plane.kvm", two upward-facing triangles spanning -1..1 in x and z at y = 0 with their
// five edges. Written on its own so the body loader is checked against an independent writer.
//
// Usage: kve_make_bodies <output directory>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    std::FILE* out = std::fopen((directory / "Plane.kvb").c_str(), "wb");
    if (!out) {
        std::perror("Plane.kvb");
        return 1;
    }
    std::fputs("Body: Plane {\r\n"
               "\tVertices: {\r\n\t\t-1,0,-1\r\n\t\t1,0,-1\r\n\t\t-1,0,1\r\n\t\t1,0,1\r\n\t}\r\n"
               "\tEdges: {\r\n\t\t0,2\r\n\t\t2,1\r\n\t\t1,0\r\n\t\t2,3\r\n\t\t3,1\r\n\t}\r\n"
               "\tFaces: {\r\n\t\t0,2,1\r\n\t\t1,2,3\r\n\t}\r\n"
               "}\r\n",
               out);
    return std::fclose(out) == 0 ? 0 : 1;
}

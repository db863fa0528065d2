// Placeholder: the archive tool's commands come with the archive reader.
#include <cstdio>

int main()
{
    fprintf(stderr, "orvanti-pack: not built yet\n");
    return 1;
}

// SCAFFOLD: the game's entry point comes with the SDL host.
int main() { return 0; }

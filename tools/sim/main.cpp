// SCAFFOLD: the headless runner comes later.
int main() { return 0; }

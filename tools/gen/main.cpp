// SCAFFOLD: the data generator comes later.
int main() { return 0; }

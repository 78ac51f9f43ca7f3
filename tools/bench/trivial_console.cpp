// The yardstick of the console program's start: a console program that does nothing.
int main() { return 0; }

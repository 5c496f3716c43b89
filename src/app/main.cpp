// Placeholder: the console menu is built by the foundation work.
int main() { return 0; }

// The program that each layer's check links: it calls nothing. What matters
// is that the whole of the layer's library links against the layers below it.
int main() { return 0; }

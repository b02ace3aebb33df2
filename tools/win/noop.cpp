// A program that does nothing: the baseline cost of starting a process under Wine.
int main()
{
    return 0;
}

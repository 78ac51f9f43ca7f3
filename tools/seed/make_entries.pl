#!/usr/bin/perl
# Makes the seeded files and folders inside a prefix's drive_c, for seed.sh:
#
#   make_entries.pl DRIVE_C LIST < plan
#
# Each plan line is "path below C:\ <TAB> size <TAB> content <TAB> modified <TAB> data line",
# the path with backslashes, the size empty for a folder. LIST gets one line per entry that is there
# afterwards: "C:\path|size|modified|Unix path" ("-" for an empty field). One process for all
# entries: a fork per file would cost seconds.
#
# Names are looked up without regard to letter case, as Wine does, so "microsoft" reuses
# "Microsoft" instead of making a second folder Windows cannot tell apart. A link is never
# followed (the prefix links drive T: to the build tree, and some user folders into the Linux
# home), and nothing that exists is changed. Exit status 1 when some entry was not made.
use strict;
use warnings;
use Fcntl qw(O_WRONLY O_CREAT O_EXCL O_NOFOLLOW);
use POSIX qw(mktime);

my ($drive_c, $list_path) = @ARGV;
die "usage: make_entries.pl DRIVE_C LIST < plan\n" unless defined $list_path;

my $text_line = "This file was made by the Tidemark run-prefix seeding: harmless sample data.\r\n";

# Content kinds (seed.sh lists the same names when it checks the data).
my %content = (
    zero => sub { my ($fh, $size) = @_; truncate($fh, $size) },
    text => sub {
        my ($fh, $size) = @_;
        my $bytes = substr($text_line x (int($size / length $text_line) + 1), 0, $size);
        my $done = 0;
        while ($done < $size) {
            my $n = syswrite($fh, $bytes, $size - $done, $done);
            return 0 unless $n;
            $done += $n;
        }
        1;
    },
);

my (%entry, %listed);

sub folded {
    my $name = shift;
    utf8::decode($name);
    return lc $name;
}

sub list_dir {
    my $dir = shift;
    return if $listed{$dir}++;
    opendir(my $dh, $dir) or return;
    for my $e (readdir $dh) {
        $entry{"$dir\0" . folded($e)} = $e unless $e eq '.' || $e eq '..';
    }
    closedir $dh;
}

# The folder NAME inside DIR in any letter case, made when missing: (path, "made" | "present"),
# or (undef, why) on a link or a file of that name.
sub enter_folder {
    my ($dir, $name) = @_;
    list_dir($dir);
    my $key = "$dir\0" . folded($name);
    my $found = $entry{$key};
    if (!defined $found) {
        mkdir "$dir/$name" or return (undef, "cannot make $dir/$name: $!");
        $entry{$key} = $name;
        $listed{"$dir/$name"} = 1;
        return ("$dir/$name", 'made');
    }
    my $path = "$dir/$found";
    return (undef, "$path is a link") if -l $path;
    return (undef, "$path is not a folder") unless -d _;
    return ($path, 'present');
}

sub epoch_of {
    my ($y, $mo, $d, $h, $mi, $s) = $_[0] =~ /^(\d{4})-(\d\d)-(\d\d)(?: (\d\d):(\d\d)(?::(\d\d))?)?$/ or return;
    return mktime($s // 0, $mi // 0, $h // 0, $d, $mo - 1, $y - 1900, 0, 0, -1);
}

# Returns (Unix path, "made" | "present") or (undef, why).
sub make_entry {
    my ($path, $size, $kind, $modified) = @_;
    my @parts = split /\\/, $path;
    my $name = $size eq '' ? undef : pop @parts;
    my ($dir, $result) = ($drive_c, 'present');
    for my $part (@parts) {
        my $next;
        ($next, $result) = enter_folder($dir, $part);
        return (undef, $result) unless defined $next;
        $dir = $next;
    }
    return ($dir, $result) unless defined $name;

    list_dir($dir);
    my $key = "$dir\0" . folded($name);
    if (defined(my $found = $entry{$key})) {
        my $target = "$dir/$found";
        return (undef, "$target is not a plain file") if -l $target || !-f _;
        return ($target, 'present');
    }
    my $target = "$dir/$name";
    my $fill = $content{$kind} or return (undef, "unknown content kind $kind");
    # O_EXCL: never an existing file, and never through a link, dangling or not.
    sysopen(my $fh, $target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644) or return (undef, "cannot make $target: $!");
    $entry{$key} = $name;
    my $ok = $fill->($fh, $size);
    if ($ok && $modified ne '') {
        my $when = epoch_of($modified);
        $ok = defined $when && utime($when, $when, $fh);
    }
    close($fh) or $ok = 0;
    return (undef, "cannot fill $target: $!") unless $ok;
    return ($target, 'made');
}

open(my $list, '>>', $list_path) or die "cannot write $list_path: $!\n";
my %count = (made => 0, present => 0, failed => 0);
while (my $line = <STDIN>) {
    chomp $line;
    my ($path, $size, $kind, $modified, $from) = split /\t/, $line, -1;
    my ($target, $result) = make_entry($path, $size, $kind, $modified);
    if (!defined $target) {
        print STDERR "seed: $from: C:\\$path not made: $result\n";
        $count{failed}++;
        next;
    }
    $count{$result}++;
    printf $list "C:\\%s|%s|%s|%s\n", $path, $size eq '' ? '-' : $size, $modified eq '' ? '-' : $modified, $target;
}
close($list) or die "cannot write $list_path: $!\n";
print "seed: $count{made} made, $count{present} already there, $count{failed} failed\n";
exit($count{failed} ? 1 : 0);
